// Sending an event to a script object from the shell.
#pragma once

#include <memory>

#include "script/zScriptObject.h"

namespace tarv {

// Sends an event whose result nobody reads; the object is held while it runs,
// as the event may drop the last other reference to it.
inline void Send(const std::shared_ptr<zun::zScriptObject>& iObject, const char* iEvent) {
    const std::shared_ptr<zun::zScriptObject> o = iObject;
    if (o) o->Execute(iEvent);
}

}  // namespace tarv
