// The Direct3D objects alive in the program, by kind. Like the debug runtime
// of Direct3D, the program says at exit what was never released: a device
// or texture still alive then is a missing Release somewhere.
#pragma once

#include <cstddef>

namespace host_d3d9 {

enum class ObjectKind { factory, device, texture };

// A member of every object: counts it from construction to destruction.
class LiveObject {
public:
    explicit LiveObject(ObjectKind kind);
    ~LiveObject();
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;

private:
    ObjectKind kind_;
};

// How many objects of a kind are alive now.
size_t live_objects(ObjectKind kind);

}  // namespace host_d3d9
