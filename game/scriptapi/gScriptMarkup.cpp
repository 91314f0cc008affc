// The markup of message texts: "<speaker [face]> text".
#include <algorithm>
#include <cmath>
#include <optional>

#include "core/zRuntime.h"
#include "devices/zDDraw.h"
#include "game/scriptapi/gScript.h"
#include "game/world/gTextSelect.h"
#include "scene/zSprite.h"

using namespace zun;

namespace tarv {

namespace {

constexpr int32_t kFaceSize = 48;
constexpr int32_t kFacesPerRow = 4;
// Face cells beyond this lie far outside any face sheet; the limit keeps the
// source position within range.
constexpr double kMaxFaceCell = 1000000;

// A face number as written, fractions rounded; none when it is no number,
// which then shows no face rather than a cell off the sheet.
std::optional<int32_t> FaceNumber(std::string_view iText) {
    double d = 0;
    if (!ParseNumber(iText, d) || !std::isfinite(d)) return std::nullopt;
    d = std::clamp(d, -kMaxFaceCell, kMaxFaceCell);
    return CLng(d);
}

}  // namespace

std::shared_ptr<gTextSelect> ParseMessage(const std::string& iText) {
    auto dialog = std::make_shared<gTextSelect>();
    auto face = std::make_shared<zSprite>();
    dialog->Face = face;

    std::string speaker = kHeroName;
    std::string message = iText;
    std::optional<int32_t> column = 0, row = 0;
    const size_t close = iText.find('>');
    // Only a text that opens with the "<" names a speaker: a ">" and a "<"
    // further in are the message's own.
    if (close != std::string::npos && !iText.empty() && iText[0] == '<') {
        // The header sits between the "<" and the ">"; the character right
        // after the ">" separates it from the message.
        const std::string header = iText.substr(1, close - 1);
        message = close + 2 <= iText.size() ? iText.substr(close + 2) : std::string();
        const size_t blank = header.find(' ');
        if (blank != std::string::npos) {
            speaker = header.substr(0, blank);
            const std::string spec = header.substr(blank + 1);
            const size_t comma = spec.find(',');
            if (comma != std::string::npos) {
                column = FaceNumber(std::string_view(spec).substr(0, comma));
                row = FaceNumber(std::string_view(spec).substr(comma + 1));
            } else if (const std::optional<int32_t> k = FaceNumber(spec)) {
                column = (*k - 1) % kFacesPerRow;
                row = int32_t(std::floor((double(*k) - 1.0) / kFacesPerRow));
            } else {
                column = row = std::nullopt;
            }
        } else {
            speaker = header;
        }
    }

    // "<>" names nobody: there is no sheet to take a face from.
    if (column && row && !speaker.empty()) {
        face->SrcX = kFaceSize * *column;
        face->SrcY = kFaceSize * *row;
        face->Texture = zDDraw.LoadTexture("Face " + speaker + ".png", true, -1, 1, 0);
    }
    dialog->Message = message;
    dialog->Mirrored = speaker != kHeroName;
    dialog->FaceName = speaker;
    return dialog;
}

}  // namespace tarv
