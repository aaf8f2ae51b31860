#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ljsn {

// "3:07", "59:59", "1:05:00".
std::string FormatarDuracao(std::int64_t AMilissegundos);

// The playing length of a media file in milliseconds, or -1 when unknown.
// MP3: the sum of the packet durations, exact even for VBR files without a
// Xing header; other formats: the container's duration. Any thread.
std::int32_t DuracaoMidia(const std::string& ACaminho);
// The same sum for an MP3 file, read from the frame headers alone; nothing
// when the file is not a plain chain of MPEG audio frames (junk, a cut last
// frame, free format), which FFmpeg then reads.
std::optional<std::int32_t> DuracaoMp3PorQuadros(const std::string& ACaminho);
// DuracaoMidia through FFmpeg's demuxer only.
std::int32_t DuracaoPorPacotes(const std::string& ACaminho);

}  // namespace ljsn
