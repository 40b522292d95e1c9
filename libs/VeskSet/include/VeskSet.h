// The settings library's interface: the 560-byte RecordingSettings record and VeskSet,
// which fills it from the command line, and the RecordingExtras record of the settings
// the first one has no room for, filled by VeskSetExtras. Both records are binary
// contracts between the program and libVeskSet.so, so their layouts are pinned below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#if defined(__GNUC__)
#define VESKSET_API __attribute__((visibility("default")))
#else
#define VESKSET_API
#endif

// Texts are zero-terminated CP932; unused bytes after the terminator are zero.
struct RecordingSettings {
  char movieFile[260];       // movie to write
  char textureFile[260];     // picture wrapped around the globe (found by the media search)
  int32_t width;             // client-area width in pixels
  int32_t height;            // client-area height in pixels
  int32_t frameCount;        // frames to record, at least 1
  int32_t eyeHeight;         // camera height in settings units (x 0.034904446)
  int32_t spinForward;       // not 0: the spin angle grows
  uint8_t highTessellation;  // not 0: fine globe mesh
  uint8_t chooseDevice;      // not 0: device settings dialog before the first device
  char outputKinds[18];      // keywords of the after-recording actions
};

static_assert(std::is_standard_layout_v<RecordingSettings>);
static_assert(std::is_trivially_copyable_v<RecordingSettings>);
static_assert(sizeof(RecordingSettings) == 560);
static_assert(offsetof(RecordingSettings, movieFile) == 0);
static_assert(offsetof(RecordingSettings, textureFile) == 260);
static_assert(offsetof(RecordingSettings, width) == 520);
static_assert(offsetof(RecordingSettings, height) == 524);
static_assert(offsetof(RecordingSettings, frameCount) == 528);
static_assert(offsetof(RecordingSettings, eyeHeight) == 532);
static_assert(offsetof(RecordingSettings, spinForward) == 536);
static_assert(offsetof(RecordingSettings, highTessellation) == 540);
static_assert(offsetof(RecordingSettings, chooseDevice) == 541);
static_assert(offsetof(RecordingSettings, outputKinds) == 542);

// Reads the process's command line and fills every byte of *settings.
// Returns 1 when the record is filled and the program should go on; 0 after --help or
// --version (printed to standard output), when the program should end with status 0.
// A bad command line prints one line to standard error and ends the process with
// status 2; the function does not return then.
extern "C" VESKSET_API int VeskSet(RecordingSettings* settings);

// Settings beyond the 560-byte record. The caller zeroes the record and sets size to
// sizeof(RecordingExtras); the library fills at most that many bytes and sets size to
// what it filled, so a program and a library of different ages agree on the common
// fields and the rest stay zero. Fields are only ever added at the end. A record of
// zeros asks for nothing beyond the 560-byte record.
struct RecordingExtras {
  uint32_t size;  // bytes of this record that hold values
  // Seamless loop: the frames make this many whole turns (1 to 100), the first frame at
  // spin angle 0; 0 keeps the fixed step of 6.4 radians over the frame count.
  uint32_t loopTurns;
  // Lean of the spin axis towards the viewer, in degrees (-90 to 90; 0 upright).
  float tiltDegrees;
  // How fast frames are made: 0 as fast as the loop runs; 1 the same, counting the
  // frames; 2 no faster than the movie's rate, counting them ("steer while recording").
  uint32_t pace;
  // Camera path files (CP932, empty for none): savePathFile is written with every
  // recorded frame's view; pathFile replaces the spin and the mouse with its views.
  char savePathFile[260];
  char pathFile[260];
  // The Earth's look: a sun with day and night, clouds, the atmosphere's glow.
  int32_t sunDegrees;    // with sunOn: the sun's angle from the camera, 0 to 360
  uint8_t sunOn;         // not 0: a sun lights the globe (day picture) and leaves night
  uint8_t atmosphere;    // not 0: a glow around the limb
  char nightFile[260];   // CP932 picture of the night side; empty: night.jpg
  char cloudsFile[260];  // CP932 picture of the cloud cover; empty: no clouds
  // Smooth edges: the samples per pixel the device is first created with, 0 (none), 2, 4
  // or 8 (--antialias; "Smooth edges" in the settings window).
  uint32_t antialias;
};

static_assert(std::is_standard_layout_v<RecordingExtras>);
static_assert(std::is_trivially_copyable_v<RecordingExtras>);
static_assert(offsetof(RecordingExtras, size) == 0);
static_assert(offsetof(RecordingExtras, loopTurns) == 4);
static_assert(offsetof(RecordingExtras, tiltDegrees) == 8);
static_assert(offsetof(RecordingExtras, pace) == 12);
static_assert(offsetof(RecordingExtras, savePathFile) == 16);
static_assert(offsetof(RecordingExtras, pathFile) == 276);
static_assert(offsetof(RecordingExtras, sunDegrees) == 536);
static_assert(offsetof(RecordingExtras, sunOn) == 540);
static_assert(offsetof(RecordingExtras, atmosphere) == 541);
static_assert(offsetof(RecordingExtras, nightFile) == 542);
static_assert(offsetof(RecordingExtras, cloudsFile) == 802);
static_assert(offsetof(RecordingExtras, antialias) == 1064);

// Fills *extras from the choices of the last successful VeskSet call. Returns 1 when
// filled; 0 (record left as the caller gave it) without such a call, or when extras is
// null or its size is smaller than the size field.
extern "C" VESKSET_API int VeskSetExtras(RecordingExtras* extras);
