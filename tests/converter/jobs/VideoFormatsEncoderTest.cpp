// The format table's names checked against the encoder's own lists: every
// video codec is an encoder that our encoder build enables and that the
// system's ffmpeg knows, every container a muxer name that "-f" accepts, and
// every extension one the muxer lists as its own where it lists any.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "converter/jobs/VideoFormats.h"

namespace {

std::string Narrow(LPCTSTR text) {
  std::string out;
  for (; text && *text; ++text) out += (char)*text;
  return out;
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

// Names in the listing of "ffmpeg -encoders" or "-muxers": the word after the
// flag column, on the lines below the "--" separator; a name may be a comma list.
std::set<std::string> ListedNames(const std::string& listing) {
  std::set<std::string> names;
  std::istringstream in(listing);
  std::string line;
  bool body = false;
  while (std::getline(in, line)) {
    if (!body) {
      body = line.find("--") != std::string::npos && line.find_first_not_of(" -") == std::string::npos;
      continue;
    }
    std::istringstream words(line);
    std::string flags, name;
    if (!(words >> flags >> name)) continue;
    std::stringstream parts(name);
    for (std::string part; std::getline(parts, part, ',');) names.insert(part);
  }
  return names;
}

// "Common extensions: mpg,mpeg." of "ffmpeg -h muxer=NAME"; empty when none are listed.
std::set<std::string> MuxerExtensions(const std::string& muxer) {
  std::set<std::string> out;
  std::smatch m;
  std::string help = Capture("ffmpeg -hide_banner -h muxer=" + muxer);
  if (std::regex_search(help, m, std::regex("Common extensions: ([^.\\n]*)"))) {
    std::stringstream parts(m[1].str());
    for (std::string part; std::getline(parts, part, ',');) out.insert(part);
  }
  return out;
}

// The video encoders that the dependency script builds into our encoder.
std::set<std::string> BuiltEncoders() {
  std::set<std::string> out;
  const char* top = getenv("RS_SOURCE_DIR");
  std::ifstream script(std::string(top ? top : ".") + "/scripts/deps/70-ffmpeg.sh");
  std::stringstream text;
  text << script.rdbuf();
  std::smatch m;
  std::string s = text.str();
  if (std::regex_search(s, m, std::regex("\\nvideo_codecs=\\(([^)]*)\\)"))) {
    std::istringstream words(m[1].str());
    for (std::string w; words >> w;) out.insert(w);
  }
  return out;
}

}  // namespace

TEST(VideoFormatsEncoder, NamesAreTheEncodersOwn) {
  const std::set<std::string> built = BuiltEncoders();
  ASSERT_TRUE(built.count("libx264")) << "no video_codecs list in scripts/deps/70-ffmpeg.sh";
  const std::set<std::string> encoders = ListedNames(Capture("ffmpeg -hide_banner -encoders"));
  const std::set<std::string> muxers = ListedNames(Capture("ffmpeg -hide_banner -muxers"));
  ASSERT_TRUE(encoders.count("mpeg4")) << "the system's ffmpeg lists no encoders";
  ASSERT_TRUE(muxers.count("mp4")) << "the system's ffmpeg lists no muxers";
  // Extensions the table chooses for muxers that list another one.
  const std::map<std::string, std::string> ownChoice = {{"dvd", "vob"}};

  for (int i = 0; i < VIDEO_FORMAT_COUNT; i++) {
    const VideoFormatEntry& row = VideoFormatTable[i];
    const std::string codec = Narrow(row.pszVideoCodec), container = Narrow(row.pszContainer);
    const std::string ext = Narrow(row.pszExtension);
    SCOPED_TRACE("row " + std::to_string(i) + ": " + ext + " " + container + " " + codec);
    EXPECT_TRUE(built.count(codec)) << "our encoder build has no " << codec << " encoder";
    EXPECT_TRUE(encoders.count(codec)) << "ffmpeg has no encoder " << codec;
    EXPECT_TRUE(muxers.count(container)) << "ffmpeg has no muxer " << container;
    ASSERT_EQ('.', ext[0]);
    std::set<std::string> listed = MuxerExtensions(container);
    auto own = ownChoice.find(container);
    if (own != ownChoice.end())
      EXPECT_EQ(own->second, ext.substr(1));
    else if (!listed.empty())
      EXPECT_TRUE(listed.count(ext.substr(1))) << ext << " is not an extension of the " << container << " muxer";
  }
}

TEST(VideoFormatsEncoder, RowsOutsideTheTableAreNone) {
  for (int i = 0; i < VIDEO_FORMAT_COUNT; i++) EXPECT_EQ(&VideoFormatTable[i], GetVideoFormat(i));
  EXPECT_EQ(nullptr, GetVideoFormat(-1));
  EXPECT_EQ(nullptr, GetVideoFormat(VIDEO_FORMAT_COUNT));
}
