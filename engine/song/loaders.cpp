// Loading a song: reading a file into memory, and the list of loaders that
// tell the formats apart and read them.
#include "song/loaders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>

#include "song/load_cursor.h"
#include "song/module.h"

// Tried in this order. Formats with a signature come first, the one that
// can only be judged by how plausible its header is comes last, so that
// a file with a signature is never taken for it.
const TQuavixModule::TLoader TQuavixModule::Loaders[] = {
    {QuavixProbeExtendedModule, &TQuavixModule::LoadExtendedModule},
    {QuavixProbeScreamTracker3, &TQuavixModule::LoadScreamTracker3},
    {QuavixProbeImpulseTracker, &TQuavixModule::LoadImpulseTracker},
    {QuavixProbeTaggedPatternFormat, &TQuavixModule::LoadTaggedPatternFormat},
    {QuavixProbeFifteenSampleFormat, &TQuavixModule::LoadFifteenSampleFormat},
};

TQuavixLoadResult TQuavixModule::ReadFile(const std::string& FileName, std::vector<uint8_t>& Block) {
    Block.clear();
    try {
        std::error_code Error;
        if (std::filesystem::is_directory(FileName, Error)) return TQuavixLoadResult::CannotRead("is a directory");
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> File(std::fopen(FileName.c_str(), "rb"), std::fclose);
        if (!File) return TQuavixLoadResult::CannotRead(std::string("cannot open: ") + std::strerror(errno));
        // The block length is a 32-bit count.
        constexpr uint64_t MaxBlock = std::numeric_limits<uint32_t>::max();
        const char* const Large = "to be a module file (more than 4 GiB)";
        constexpr size_t Piece = 1 << 16;
        // A regular file's size is known, so its bytes go into one block;
        // anything else (a pipe) grows the block as it comes.
        const uintmax_t Known = std::filesystem::file_size(FileName, Error);
        if (!Error) {
            if (Known > MaxBlock) return TQuavixLoadResult::TooLarge(Large);
            Block.reserve(static_cast<size_t>(Known) + Piece);
        }
        for (;;) {
            const size_t Used = Block.size();
            Block.resize(Used + Piece);
            const size_t Count = std::fread(Block.data() + Used, 1, Piece, File.get());
            Block.resize(Used + Count);
            if (Block.size() > MaxBlock) {
                Block.clear();
                return TQuavixLoadResult::TooLarge(Large);
            }
            if (Count == Piece) continue;
            if (!std::ferror(File.get())) return {};
            Block.clear();
            return TQuavixLoadResult::CannotRead(std::string("cannot read: ") + std::strerror(errno));
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    Block.clear();
    Block.shrink_to_fit();
    return TQuavixLoadResult::TooLarge("to load (out of memory)");
}

TQuavixLoadResult TQuavixModule::LoadFromFile(const std::string& FileName) {
    // A failed attempt leaves the song cleared, as a failed load of the data does.
    Clear();
    // Only a regular file is read: a device or a pipe could keep the caller
    // waiting for bytes that never come.
    std::error_code Error;
    const std::filesystem::file_status Status = std::filesystem::status(FileName, Error);
    if (!Error && !std::filesystem::is_regular_file(Status) && !std::filesystem::is_directory(Status))
        return TQuavixLoadResult::CannotRead("cannot read: not a regular file");
    std::vector<uint8_t> Block;
    TQuavixLoadResult Result = ReadFile(FileName, Block);
    if (!Result) return Result;
    return LoadFromMemory(Block.data(), static_cast<uint32_t>(Block.size()));
}

TQuavixLoadResult TQuavixModule::LoadFromMemory(const uint8_t* Block, uint32_t Size) {
    Clear();
    TQuavixLoadCursor Cursor(Block, Size);
    if (Cursor.Length() == 0) return TQuavixLoadResult::NotModule("the file is empty");
    // The first loader that reads the data wins. A loader whose probe
    // matched but that cannot read the data has the best reason to give
    // (a signature said what the file is), unless a later loader reads it:
    // a pattern-format song whose title reads "Extended Module: " is still
    // a song.
    TQuavixLoadResult Why = TQuavixLoadResult::NotModule();
    try {
        for (const TLoader& Loader : Loaders) {
            if (!Loader.Probe(Cursor)) continue;
            Cursor.SetOffset(0);
            TQuavixLoadResult Result = (this->*Loader.Load)(Cursor);
            if (Result) return Result;
            Clear();
            if (Why.Error == TQuavixLoadError::NotModule) Why = Result;
        }
        return Why;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // A song larger than the memory there is.
    Clear();
    return TQuavixLoadResult::TooLarge("to load (out of memory)");
}

