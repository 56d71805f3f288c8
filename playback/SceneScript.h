#pragma once
// The scene script "data\scene.dat": for some slots of the timeline, the
// frame that begins the three-frame cycle shown from that slot on.
// Read once on the main thread before the clock starts; only read after.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct pmovie {
    std::int32_t StartFrame = 0;    // index into Frames: the line's frame number - 1
    std::array<std::string, 4> Texts; // never set; kept for the record's shape
    std::uint8_t HasEntry = 0;      // 1 when a scene line set this slot
};

constexpr int SceneWordCount = 61;
using TSceneWords = std::array<std::string, SceneWordCount>;

// A growable array of pmovie indexed by slot (TickCount div 10). Setting a
// shorter length drops the entries above it; growing again brings back empty
// entries. Storage is kept, so a script that jumps between a low and a high
// slot costs no more than the entries it really sets.
class TSceneTable {
public:
    std::size_t size() const { return FLength; }
    bool empty() const { return FLength == 0; }
    const pmovie& operator[](std::size_t Slot) const { return FEntries[Slot]; }
    // The entry at Slot (below size()) for a scene line to set.
    pmovie& SetEntry(std::size_t Slot);
    void SetLength(std::size_t Length); // raises EOutOfMemory past MaxLength
    void clear();

    static constexpr std::size_t MaxLength = std::size_t{1} << 18; // over 14 hours of slots

private:
    std::vector<pmovie> FEntries;    // zero above FLength, but for FSetSlots
    std::vector<std::size_t> FSetSlots; // the slots whose entry holds anything
    std::size_t FLength = 0;
};

// Its length follows the last line read.
extern TSceneTable SceneTable;

// Cuts Line into words at runs of spaces, into places 0, 1, 2, ... of Words.
// Places a line has no word for keep what earlier lines left there; words
// beyond the last place are dropped.
void SplitWords(std::string Line, TSceneWords& Words);

// Fills SceneTable from "data\scene.dat". Raises EInOutError on a file error,
// EConvertError on a word that is no number, ERangeError on a negative slot
// and EOutOfMemory on a slot too large to hold; the table keeps what the
// lines before the failing one made.
void ReadSceneScript();

// The same from any file name (tests, tools).
void ReadSceneScriptFrom(const std::string& FileName);
