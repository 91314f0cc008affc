// Small value records shared by the stream, the math functions and the scene:
// a 2-D vector, a 3-D vector and a quaternion, all of single-precision floats.
#pragma once

namespace zun {

struct Vector2 {
    float x = 0.0f;
    float y = 0.0f;
    friend bool operator==(const Vector2&, const Vector2&) = default;
};

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    friend bool operator==(const Vector3&, const Vector3&) = default;
};

struct Quat {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;
    friend bool operator==(const Quat&, const Quat&) = default;
};

}  // namespace zun
