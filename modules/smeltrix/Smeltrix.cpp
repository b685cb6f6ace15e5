// Smeltrix: encodes a numbered picture series (or a video) into a video file, or
// writes the frames of a video as numbered BMP pictures.
#include <cstring>
#include <thread>

#include "modules/smeltrix/FrameSinks.h"
#include "modules/smeltrix/FrameSources.h"
#include "modules/common/ModuleText.h"
#include "modules/smeltrix/PictureConverter.h"
#include "modules/smeltrix/PictureQueue.h"
#include "modules/smeltrix/ProgressRelay.h"
#include "modules/smeltrix/RunSupport.h"
#include "modules/smeltrix/SmeltrixOptions.h"
#include "modules/smeltrix/StreamCopy.h"

extern "C" {
#include <libavutil/avstring.h>
}

namespace smeltrix {

// The reading thread: decodes the input and converts every picture of the stretch
// to the output's size and format.
void ReadPictures(FrameSource& source, const FrameSink& sink, const SmeltrixOptions& opt, Time start, Time end,
                  bool bounded, PictureQueue& queue) {
  try {
    std::unique_ptr<PictureConverter> converter;
    int fw = 0, fh = 0, consumed = 0;
    FramePtr frame;
    QueuedPicture item;
    while (!queue.Cancelled()) {
      if (source.Next(frame.f, &item.time, &item.duration) == 0) break;
      item.consumed = ++consumed;
      if (bounded && !Less(item.time, end)) break;
      if (Less(item.time, start)) {
        av_frame_unref(frame.f);
        item.picture = nullptr;
        if (!queue.Push(item)) break;
        continue;
      }
      if (!converter) {
        int w = opt.width > 0 ? opt.width : frame.f->width;
        int h = opt.height > 0 ? opt.height : frame.f->height;
        if (sink.NeedsEvenSize()) {
          w += w & 1;
          h += h & 1;
        }
        fw = w;
        fh = h;
        if (sink.H263Sizes() && !H263Size(w, h, &fw, &fh)) {
          // Larger than the largest coded size: shrink to fit it, keeping the shape.
          double s = std::min(1408.0 / w, 1152.0 / h);
          w = std::max(2, (int)(w * s) & ~1);
          h = std::max(2, (int)(h * s) & ~1);
          fw = 1408;
          fh = 1152;
        }
        converter.reset(new PictureConverter(w, h, fw, fh, sink.PixelFormat()));
      }
      item.picture = converter->Convert(frame.f);
      item.frameWidth = fw;
      item.frameHeight = fh;
      av_frame_unref(frame.f);
      if (!queue.Push(item)) break;
    }
    queue.Finish(nullptr);
  } catch (const smeltrix::RunError& e) {
    queue.Finish(&e);
  } catch (const std::bad_alloc&) {
    RunError e{"out of memory", 1};
    queue.Finish(&e);
  } catch (const std::exception& ex) {
    RunError e{std::string("failure while reading: ") + ex.what(), 1};
    queue.Finish(&e);
  }
}

// The output is a picture series (or one picture).
bool IsPictureOutput(const SmeltrixOptions& opt) {
  const AVOutputFormat* ofmt = opt.outputFormat.empty() ? av_guess_format(nullptr, opt.output.c_str(), nullptr)
                                                        : av_guess_format(opt.outputFormat.c_str(), nullptr, nullptr);
  return ofmt && strcmp(ofmt->name, "image2") == 0;
}

int Run(const SmeltrixOptions& opt) {
  RemoveStalePartials(opt.output);
  // Copied streams, a second input, mapped streams, a concat list or sound:
  // each stream copied or encoded on its own, without the picture pipeline.
  const bool sound = !opt.audioCodec.empty() && !opt.noAudio;
  if (opt.videoCodec == "copy" || opt.audioCodec == "copy" || !opt.maps.empty() || !opt.moreInputs.empty() ||
      opt.inputFormat == "concat" || (sound && !IsPictureOutput(opt)))
    return RunCopy(opt);
  if (opt.noVideo) Throw("-vn leaves no video to encode");
  bool outputIsPictures = false;
  const AVOutputFormat* ofmt = OutputFormatFor(opt);
  if (strcmp(ofmt->name, "image2") == 0) {
    outputIsPictures = true;
    if (sound) Throw("pictures carry no sound: -codec:a " + opt.audioCodec);
    if (!opt.videoCodec.empty() && opt.videoCodec != "bmp")
      Throw("pictures are written as BMP only, not " + opt.videoCodec);
    const char* ext = strrchr(opt.output.c_str(), '.');
    if (!ext || av_strcasecmp(ext, ".bmp") != 0) Throw("pictures are written as BMP only: " + opt.output);
  }

  // The input.
  std::unique_ptr<FrameSource> source;
  bool sequence = (opt.inputFormat.empty() || opt.inputFormat == "image2") && SequenceSource::IsPattern(opt.input);
  if (sequence) {
    AVRational rate = opt.inputRate.num > 0 ? opt.inputRate : AVRational{25, 1};
    source.reset(new SequenceSource(opt.input, rate));
  } else {
    source.reset(new VideoSource(opt.input, opt.inputFormat, opt.inputSeekUs, opt.threads));
  }

  // The stretch of the input to use, in seconds from its start.
  Time start = FromUs(opt.inputSeekUs + opt.outputSeekUs);
  bool bounded = false;
  Time end{0, 1};
  if (opt.inputDurationUs >= 0) {
    end = FromUs(opt.inputSeekUs + opt.inputDurationUs);
    bounded = true;
  }
  if (opt.outputDurationUs >= 0) {
    Time e = FromUs(opt.inputSeekUs + opt.outputSeekUs + opt.outputDurationUs);
    if (!bounded || Less(e, end)) end = e;
    bounded = true;
  }
  Time length = source->Length();
  Time stretchEnd = length;
  if (bounded && (length.num < 0 || Less(end, length))) stretchEnd = end;

  // The output and its frame rate.
  AVRational wantedRate = opt.outputRate.num > 0 ? opt.outputRate : source->Rate();
  bool passThrough = outputIsPictures && opt.outputRate.num <= 0;
  std::unique_ptr<FrameSink> sink;
  AVRational rate = wantedRate;
  if (outputIsPictures) {
    sink.reset(new PictureSeriesSink(opt.output, opt.overwrite, opt.maxFrames == 1));
  } else {
    VideoFileSink* v = new VideoFileSink(opt, ofmt, wantedRate);
    sink.reset(v);
    rate = v->EncodedRate();
  }

  // Progress: pictures for a series, milliseconds for a video.
  ProgressRelay progress(opt.callbackWindow, opt.callbackContext);
  int64_t total = 0;
  if (source->CountsFrames()) {
    total = source->FrameCount();
  } else if (stretchEnd.num >= 0) {
    total = std::max<int64_t>(ToMs(Sub(stretchEnd, start)), 0);
  }
  progress.Start(total);

  // Pictures are read, decoded and converted on a thread of their own while this
  // thread encodes and writes them.
  PictureQueue queue;
  std::thread reader([&]() { ReadPictures(*source, *sink, opt, start, end, bounded, queue); });
  struct ReaderGuard {
    PictureQueue& q;
    std::thread& t;
    ~ReaderGuard() {
      q.Cancel();
      if (t.joinable()) t.join();
    }
  } readerGuard{queue, reader};

  AVFrame* held = nullptr;  // the converted picture shown until the next one starts
  struct HeldGuard {
    AVFrame** f;
    ~HeldGuard() { av_frame_free(f); }
  } heldGuard{&held};
  int64_t outFrames = 0;
  int consumed = 0;
  bool limitReached = false;
  bool opened = false;
  auto emit = [&](const AVFrame* pic) {
    if (opt.maxFrames > 0 && outFrames >= opt.maxFrames) {
      limitReached = true;
      return;
    }
    sink->Write(pic);
    ++outFrames;
  };
  // Output frame k covers [k/rate, (k+1)/rate) from the start of the stretch.
  auto slotTime = [&](int64_t k) { return Time{k * (int64_t)rate.den, rate.num}; };
  auto emitUntil = [&](const Time& until) {
    while (!limitReached && Less(slotTime(outFrames), until)) emit(held);
  };

  Time lastEnd{0, 1};
  bool any = false;
  try {
    QueuedPicture item;
    while (!limitReached && queue.Pop(&item)) {
      consumed = item.consumed;
      if (!item.picture) {
        // Before the start of the stretch.
        if (progress.Progress(0, consumed, false)) break;
        continue;
      }
      if (!opened) {
        sink->Open(item.frameWidth, item.frameHeight);
        opened = true;
      }
      Time rel = Sub(item.time, start);
      if (passThrough) {
        emit(item.picture);
        av_frame_free(&item.picture);
      } else {
        if (held) emitUntil(rel);
        av_frame_free(&held);
        held = item.picture;
      }
      item.picture = nullptr;
      any = true;
      lastEnd = Sub(Add(item.time, item.duration), start);
      int64_t pos = source->CountsFrames() ? consumed : ToMs(rel);
      if (progress.Progress(pos, consumed, false)) break;
    }
    queue.Cancel();
    reader.join();
    if (progress.StopAsked()) Throw("stopped by the caller", 2);
    if (!queue.Error().message.empty()) throw queue.Error();
    if (!any) Throw("no frames to write in " + opt.input);
    if (held) {
      // The last picture lasts to the end of the stretch, or for its own duration.
      Time until = lastEnd;
      if (source->CountsFrames() || bounded) {
        if (stretchEnd.num >= 0) until = Sub(stretchEnd, start);
      }
      emitUntil(until);
      if (outFrames == 0) emit(held);
    }
    if (progress.Progress(total, consumed, true)) Throw("stopped by the caller", 2);
    sink->Close();
  } catch (...) {
    queue.Cancel();
    if (reader.joinable()) reader.join();
    sink->Discard();
    progress.Finish(0, consumed);
    throw;
  }
  progress.Finish(total, consumed);
  return 0;
}

}  // namespace smeltrix

int main() {
  std::vector<std::string> args = modtext::CommandLineUtf8();
  if (!args.empty()) args.erase(args.begin());
  SmeltrixOptions opt;
  std::string err = ParseSmeltrixOptions(args, opt);
  if (!err.empty()) {
    modtext::ErrorLine("Smeltrix: " + err);
    return 1;
  }
  av_log_set_level(AV_LOG_FATAL);
  try {
    return smeltrix::Run(opt);
  } catch (const smeltrix::RunError& e) {
    modtext::ErrorLine("Smeltrix: " + e.message);
    return e.exitCode;
  } catch (const std::bad_alloc&) {
    modtext::ErrorLine("Smeltrix: out of memory");
    return 1;
  } catch (const std::exception& e) {
    modtext::ErrorLine(std::string("Smeltrix: ") + e.what());
    return 1;
  }
}
