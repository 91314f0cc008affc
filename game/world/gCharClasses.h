// Registers the storable character classes ("gChar", "gCharset") with the
// object factory, so that chunk files holding characters and sheets load.
#pragma once

namespace tarv {

void RegisterCharClasses();

}  // namespace tarv
