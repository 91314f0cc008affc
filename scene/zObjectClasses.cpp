#include "scene/zObjectClasses.h"

#include "core/zRegistry.h"
#include "scene/zDataShape.h"
#include "scene/zEmitterMap.h"
#include "scene/zItemMap.h"
#include "scene/zObjectsMap.h"
#include "scene/zParticleEmitter.h"
#include "scene/zSoundEmitter.h"

namespace zun {

namespace {

template <class T>
void RegisterOnce() {
    auto proto = std::make_shared<T>();
    if (!FindClass(proto->ClassName())) RegisterClass(proto);
}

}  // namespace

void RegisterSceneObjectClasses() {
    RegisterOnce<zObjectsMap>();
    RegisterOnce<zDataShape>();
    RegisterOnce<zEmitterMap>();
    RegisterOnce<zItemMap>();
    RegisterOnce<zSoundEmitter>();
    RegisterOnce<zParticleEmitter>();
}

}  // namespace zun
