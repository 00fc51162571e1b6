// Fonts and text on the back screen: the font description and the font list.
#include <cstring>
#include <memory>

#include "draw/krDraw.h"

namespace {
std::unique_ptr<unsigned char[]> fontDescription;  // 60-byte font description
}

namespace krDraw {

void InitFont() { fontDescription.reset(new unsigned char[60]()); }

void QuitFont() { fontDescription.reset(); }

}  // namespace krDraw
