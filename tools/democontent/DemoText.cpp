#include "tools/democontent/DemoText.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "core/zFileSystem.h"
#include "core/zRuntime.h"

namespace tarv::demo {

namespace {

bool Control(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Edits (insert, remove, replace a letter) between two words, ignoring case.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string Clip(const std::string& word) {
    std::string out;
    for (size_t i = 0; i < word.size() && i < 64; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (!Control(c)) {
            out += char(c);
            continue;
        }
        static const char* hex = "0123456789ABCDEF";
        out += "\\x";
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return word.size() <= 64 ? out : out + "...";
}

std::string Suggest(const std::string& word, const std::vector<std::string>& known,
                    const std::string& listName) {
    const std::string* best = nullptr;
    size_t bestDistance = 3;  // more than two edits is another word
    for (const std::string& k : known) {
        const size_t d = word.size() > 64 ? bestDistance : EditDistance(word, k);
        if (d < bestDistance && d < std::max<size_t>(k.size(), 2)) {
            best = &k;
            bestDistance = d;
        }
    }
    if (best) return " (did you mean '" + *best + "'?)";
    if (known.empty() || listName.empty()) return "";
    std::string list;
    for (const std::string& k : known) list += (list.empty() ? "" : ", ") + k;
    return " (" + listName + ": " + list + ")";
}

std::string FileNameFault(const std::string& name) {
    if (name.empty()) return "is empty";
    if (std::any_of(name.begin(), name.end(), [](char c) { return Control(static_cast<unsigned char>(c)); }))
        return "holds a control character";
    if (!zun::IsInnerFileName(name)) return "leads out of its folder";
    // The host's limits: a part of a path, and the whole.
    const std::string host = zun::Cp1252ToUtf8(name);
    size_t part = 0;
    for (char c : host) {
        part = c == '/' || c == '\\' ? 0 : part + 1;
        if (part > NAME_MAX) return "is longer than a file name can be";
    }
    if (host.size() >= PATH_MAX) return "is longer than a file name can be";
    return "";
}

}  // namespace tarv::demo
