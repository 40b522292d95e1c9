// Reading what veskset_probe printed: the record as the real VeskSet filled it.
#pragma once

#include <string>

#include "VeskSet.h"

// The record from the probe's "record=" hex line; false when there is none.
bool DecodeRecord(const std::string& out, RecordingSettings& settings);
// The extras record from the probe's "extras=" hex line; false when there is none.
bool DecodeExtras(const std::string& out, RecordingExtras& extras);

// A text field up to its zero (or its end).
std::string Field(const char* text, size_t size);

// Expects the defaults' record in every field but the frame count and the spin.
void ExpectDefaultsWith(const RecordingSettings& settings, int32_t frameCount, int32_t spinForward);
