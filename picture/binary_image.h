// Raw binary images: files of 32-bit floats in the machine's byte order, no
// header, exactly width x height x depth values, fed to the network unchanged.
#pragma once

#include "picture/picture_request.h"

#include <vector>

// Reads the file named by the request. Throws std::runtime_error with
// "Unable to open binary image file: " + path when it cannot be opened,
// "Wrong binary image size" when its size is not depth x width x height x 4
// bytes, and "Unable to read binary image file: " + path when reading fails.
std::vector<float> readBinaryImage(const PictureRequest &request);
