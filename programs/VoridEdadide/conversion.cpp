// The conversion pipeline: reader, encoder, temporary output file.
#include "conversion.h"

#include <memory>

#include "av_encoder.h"

namespace convert {

const char* Extension(Format format) {
  switch (format) {
    case Format::Gif: return ".gif";
    case Format::Mng: return ".mng";
    case Format::Mpeg1: return ".mpg";
    case Format::Mp4: return ".mp4";
    case Format::Webm: return ".webm";
    case Format::Apng: return ".png";
    case Format::Webp: return ".webp";
  }
  return "";
}

std::string DefaultOutput(const std::string& input, Format format) {
  const size_t slash = input.rfind('/');
  const size_t dot = input.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? input.substr(0, dot) : input) + Extension(format);
}

namespace {

std::unique_ptr<FrameEncoder> CreateEncoder(const Request& request, OutputFile& out,
                                            const movie::MovieInfo& info, std::string* error) {
  switch (request.format) {
    case Format::Gif: return CreateGifEncoder(out, info, request.quality, error);
    case Format::Mng: return CreateMngEncoder(out, info, error);
    case Format::Mpeg1: return CreateMpegEncoder(out, info, request.quality, error);
    case Format::Mp4: return CreateAvEncoder(out, info, Mp4Output(), request.quality, error);
    case Format::Webm: return CreateAvEncoder(out, info, WebmOutput(), request.quality, error);
    case Format::Apng: return CreateAvEncoder(out, info, ApngOutput(), request.quality, error);
    case Format::Webp: return CreateWebpEncoder(out, info, request.quality, error);
  }
  return nullptr;
}

Outcome Failed(Outcome outcome, const std::string& file, const std::string& error) {
  outcome.status = Outcome::kFailed;
  outcome.errorFile = file;
  outcome.error = error;
  return outcome;
}

}  // namespace

Outcome Convert(const Request& request, const ProgressCallback& progress) {
  Outcome outcome;
  outcome.input = request.input;
  outcome.output = request.output.empty() ? DefaultOutput(request.input, request.format) : request.output;
  if (outcome.output == request.input)
    return Failed(outcome, request.input, "the output would replace the movie itself");
  std::string error;
  const auto reader = movie::MovieReader::Open(request.input, &error);
  if (!reader) return Failed(outcome, request.input, error);
  const movie::MovieInfo& info = reader->Info();
  outcome.truncated = info.truncated;
  OutputFile out(outcome.output, &error);
  if (!out.Ok()) return Failed(outcome, outcome.output, error);
  const auto encoder = CreateEncoder(request, out, info, &error);
  if (!encoder) return Failed(outcome, outcome.output, error);
  movie::Frame frame;
  for (int64_t i = 0; i < info.frameCount; ++i) {
    if (!reader->ReadFrame(i, &frame, &error)) return Failed(outcome, request.input, error);
    if (!encoder->Add(frame, &error)) return Failed(outcome, outcome.output, error);
    outcome.frames = i + 1;
    outcome.bytes = out.BytesWritten();
    if (progress && !progress({i + 1, info.frameCount, out.BytesWritten()})) {
      outcome.status = Outcome::kCancelled;
      return outcome;
    }
  }
  if (!encoder->Finish(&error)) return Failed(outcome, outcome.output, error);
  // An empty file is never a conversion.
  if (out.BytesWritten() == 0) return Failed(outcome, outcome.output, "the encoder wrote nothing");
  if (!out.Commit(&error)) return Failed(outcome, outcome.output, error);
  outcome.bytes = out.BytesWritten();
  outcome.status = Outcome::kDone;
  return outcome;
}

}  // namespace convert
