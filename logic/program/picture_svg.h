// The picture as an SVG document whose view box is the picture's frame (one pixel is
// 1/96 inch), without margin or caption: a picture below (the loaded picture the commands
// drew over, or all the pixels when there are no shapes), then the shapes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "logic/program/picture_shapes.h"

namespace ombrix {

// `image_href` is the URL of the picture below (a data URL of a PNG); empty when the
// shapes were drawn on white. `shapes` null: the picture is given by `image_href` alone.
std::string PictureSvgDocument(int width, int height, const std::vector<ShapeGroup>* shapes,
                               std::string_view image_href);

}  // namespace ombrix
