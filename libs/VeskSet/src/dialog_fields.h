// What the settings window checks and shows beside its fields, as plain functions: the
// window only copies texts in and results out, so all of this is tested without GTK.
#pragma once

#include <iterator>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "choices.h"

namespace veskset {

struct SizePreset {
  int width;
  int height;
};
inline constexpr SizePreset kSizePresets[] = {
    {640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};

// The preset with exactly this size, or -1 for a custom size.
int PresetIndex(int width, int height);

// The picture kinds the program reads, as file-name patterns for the open chooser.
inline constexpr std::string_view kPicturePatterns[] = {"jpg", "jpeg", "png", "bmp", "tga", "dds",
                                                        "ppm", "pgm", "pbm", "dib"};

// A checked field: its value, and the reason shown beside it ("" when it is good).
struct NumberField {
  int value = 0;
  std::string problem;
};
struct TextField {
  std::string cp932;  // the text as it goes into the record
  std::string problem;
  std::string info;  // shown when there is no problem
};

// A whole number typed into an entry, from low to high.
NumberField CheckNumber(std::string_view text, int low, int high);

// The movie name as recorded: ".avi" added when it does not end in it (any case). A
// name typed with a converter's extension (".gif", ".mng", ".mpg", ".mpeg") means the
// conversion: the movie takes ".avi" in its place, and the converter gives the name.
std::string WithAviExtension(std::string_view utf8);
// The format (index into kFormatChoices) a typed movie name's extension asks for, or -1.
int FormatOfName(std::string_view utf8);
// The movie path (UTF-8, already with its extension): named, in code page 932, short
// enough for the program, in a folder that exists, can be written and has room for
// `bytes` (the estimate; 0 checks no room). info says when it replaces a file.
TextField CheckMovie(std::string_view utf8, uint64_t bytes = 0);
// The movie's estimated size in bytes: three bytes a pixel, every frame kept.
uint64_t MovieBytes(int width, int height, int frames);

// A picture shrunk to fit a small square, as the window shows it: RGB rows, top first.
struct Preview {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};
// The picture (UTF-8): in code page 932, fits the record, found where the program
// looks (as a path, in the current folder, or in the media folder) and decoded as the
// program decodes it; info names the folder when it is not where the name says. With
// `preview`, a picture that decodes is shrunk into it, at most previewSide a side.
TextField CheckPicture(std::string_view utf8, Preview* preview = nullptr, int previewSide = 0);

// The window's fields as the user left them: texts as typed (UTF-8), switches as set.
struct DialogTexts {
  std::string movie, picture, width, height, frames, eyeHeight;
  bool spinForward = true;
  bool fineMesh = true;
  bool chooseDevice = false;
  bool play = false;
  bool edit = false;
  bool convert = false;
  int format = 0;  // index into kFormatChoices
  int antialias = 0;  // index into kAntialiasChoices (and kAntialiasNames)
  // Extensions: a seamless loop of `turns` whole turns, the axis' tilt in degrees, and
  // the live pace ("steer while recording").
  bool loop = false;
  std::string turns = "1";
  std::string tilt = "0";
  bool steer = false;
  // The "Look" group: each part with its switch and the fields it greys out when off.
  bool sun = false;
  std::string sunDegrees, night;
  bool clouds = false;
  std::string cloudsFile;
  bool atmosphere = false;
};

inline constexpr std::string_view kAntialiasNames[] = {"Off", "2 samples", "4 samples", "8 samples"};
static_assert(std::size(kAntialiasNames) == std::size(kAntialiasChoices));
// What a part of the look starts from once it is turned on.
inline constexpr std::string_view kDefaultNight = "night.jpg";
inline constexpr std::string_view kDefaultClouds = "clouds.png";
inline constexpr std::string_view kEarthPicture = "earth.jpg";

// The reason shown beside each field, "" when it is good.
struct DialogProblems {
  std::string movie, picture, size, frames, eyeHeight;
  std::string turns, tilt;
  std::string pictureInfo;  // where the picture was found, when that is not obvious
  std::string sunDegrees, night, clouds;  // checked only while their part is on
  std::string nightInfo, cloudsInfo;
  bool badWidth = false;    // which of the size's two fields is wrong
  bool badHeight = false;
  std::string movieInfo;    // the name recorded when it is not the typed one, a replaced file
  std::string sizeInfo;     // larger than the screen
  int movieFormat = -1;     // the conversion the typed movie name asks for (kFormatChoices)
  Preview picturePreview;   // the chosen picture, small
  bool Any() const;
};

// The screen the window is on, in pixels (0 when unknown).
struct ScreenSize {
  int width = 0;
  int height = 0;
};
inline constexpr int kPreviewSide = 48;
inline constexpr std::string_view kLargerThanScreen = "larger than the screen: recorded whole, shown in part";

// The fields that show choices (paths in UTF-8; a name UTF-8 cannot carry stays empty).
DialogTexts TextsFromChoices(const Choices& choices);
// Checks every field; the good ones are taken into choices. The movie gets its
// extension. "Record" is offered only when nothing is wrong.
DialogProblems CheckDialog(const DialogTexts& texts, Choices& choices, ScreenSize screen = {});

// The sun's angle as the user sees it ("the right half lit").
std::string SunText(int degrees);

// The texts beside the fields.
std::string MovieSizeText(int width, int height, int frames);  // "about 59.0 MB"
// The folder the movie goes to, absolute, with the home folder shown as "~": a program
// started from the desktop menu works in the home folder, which the bare name hides.
std::string MovieFolderText(std::string_view utf8Movie);  // "in ~/Videos"
std::string LengthText(int frames);                            // "6.4 seconds at 10 frames per second"
std::string AngleText(int eyeHeight);                          // "seen from 3.3° above the equator"

}  // namespace veskset
