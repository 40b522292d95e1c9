// make_icons DIR SIZE...: writes the program's icon 101 as DIR/SIZExSIZE/apps/vesk.png for
// each size, the layout of the desktop's hicolor icon theme.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "icon_scale.h"
#include "resources.h"
#include "windows.h"

namespace {

bool WritePng(const std::string& path, const icons::RgbaImage& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = png_uint_32(image.size);
  png.height = png_uint_32(image.size);
  png.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&png, path.c_str(), 0, image.rgba.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_icons DIR SIZE...\n");
    return 2;
  }
  win32ext::SetProgramResources(&win32ext::ProgramResources());
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN_ICON));
  const win32ext::MonochromeImage* image = win32ext::IconImage(icon);
  if (image == nullptr) {
    std::fprintf(stderr, "make_icons: the program has no icon %d\n", IDI_MAIN_ICON);
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    int size = std::atoi(argv[i]);
    if (size < 16 || size > 1024) {
      std::fprintf(stderr, "make_icons: size '%s' is not from 16 to 1024\n", argv[i]);
      return 2;
    }
    std::string folder = std::string(argv[1]) + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    std::string path = folder + "/vesk.png";
    if (code || !WritePng(path, icons::ScaleIcon(*image, size))) {
      std::fprintf(stderr, "make_icons: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
