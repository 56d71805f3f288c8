#include "playback/SceneScript.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TextFile.h"

#include <algorithm>
#include <new>

TSceneTable SceneTable;

pmovie& TSceneTable::SetEntry(std::size_t Slot) {
    if (FEntries[Slot].HasEntry == 0) FSetSlots.push_back(Slot);
    return FEntries[Slot];
}

void TSceneTable::SetLength(std::size_t Length) {
    if (Length > MaxLength) throw EOutOfMemory();
    if (Length < FLength) {
        // Entries above the new end are dropped: clear the ones that were set.
        auto dropped = std::partition(FSetSlots.begin(), FSetSlots.end(),
                                      [Length](std::size_t s) { return s < Length; });
        for (auto it = dropped; it != FSetSlots.end(); ++it) FEntries[*it] = pmovie{};
        FSetSlots.erase(dropped, FSetSlots.end());
    }
    if (Length > FEntries.size()) {
        try {
            FEntries.resize(Length);
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory();
        }
    }
    FLength = Length;
}

void TSceneTable::clear() {
    FEntries.clear();
    FEntries.shrink_to_fit();
    FSetSlots.clear();
    FSetSlots.shrink_to_fit();
    FLength = 0;
}

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

} // namespace

void SplitWords(std::string Line, TSceneWords& Words) {
    const std::string trimmed = Trim(Line);
    std::size_t space = trimmed.find(' ');
    if (space == std::string::npos) {
        // A line without a separating space is one word: the line as read.
        Words[0] = std::move(Line);
        return;
    }
    // The trimmed line starts and ends with a non-blank, so every space in it
    // is followed by a word: cut at the space, drop the blanks after it.
    std::size_t place = 0;
    std::size_t start = 0;
    while (place < Words.size()) {
        space = trimmed.find(' ', start);
        if (space == std::string::npos) {
            Words[place] = trimmed.substr(start);
            return;
        }
        Words[place++] = trimmed.substr(start, space - start);
        start = space + 1;
        while (IsBlank(trimmed[start])) ++start;
    }
    // Words beyond the last place are dropped.
}

void ReadSceneScriptFrom(const std::string& FileName) {
    TTextFile file(FileName);
    TSceneWords words;
    file.Reset();
    while (!file.Eof()) {
        SplitWords(file.ReadLn(), words);
        const std::int32_t slot = StrToInt(words[0]);
        if (slot < 0) throw ERangeError();
        SceneTable.SetLength(static_cast<std::size_t>(slot) + 1);
        const std::int32_t frame = StrToInt(words[1]);
        pmovie& entry = SceneTable.SetEntry(static_cast<std::size_t>(slot));
        // Frame numbers count from 1; the entry holds the index. Wraps like
        // the 32-bit arithmetic the data was made for.
        entry.StartFrame = static_cast<std::int32_t>(static_cast<std::uint32_t>(frame) - 1u);
        entry.HasEntry = 1;
    }
    file.Close();
}

void ReadSceneScript() { ReadSceneScriptFrom("data\\scene.dat"); }
