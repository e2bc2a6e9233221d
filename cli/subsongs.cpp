// The songs within a song, as the engine finds them.
#include <cstdint>
#include <vector>

#include "cli.h"
#include "player/subsongs.h"

namespace quavix_cli {

std::vector<TSubsong> FindSubsongs(const std::vector<uint8_t>& Data, int32_t Rate) {
    return QuavixFindSubsongs(Data.data(), Data.size(), Rate);
}

}  // namespace quavix_cli
