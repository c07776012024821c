// The fuzz targets, one per reader and one for the whole pipeline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Hands one input to the target called name: config, zip, pak, md3, anim, skin, shader, console,
// pipeline, or image_<extension> (image_any: a name without extension, the fallback order).
void RunFuzzTarget(const std::string& name, const uint8_t* data, size_t size);
