// Fuzz target: the bytes are a scene script, read through the text-file
// reader. Besides crashes and sanitizer reports, the table is compared with
// a model built from the reference line, word and number rules: the same
// outcome (no error or the same error class), the same length, the same
// entries.
#include "platform/rtl/Exceptions.h"
#include "playback/SceneScript.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace {

enum class Outcome { None, Convert, Range, OutOfMemory, Other };

struct Model {
    Outcome Result = Outcome::None;
    std::string BadWord; // the word a conversion error names
    std::size_t Length = 0;
    std::map<std::size_t, std::int32_t> Entries; // slot -> StartFrame
};

Model Expected(std::string_view Bytes) {
    Model m;
    std::vector<std::string> words(SceneWordCount);
    for (const std::string& line : fuzz::ReferenceLines(Bytes)) {
        fuzz::ReferenceSplitWords(line, words, SceneWordCount);
        auto slot = fuzz::ReferenceStrToInt(words[0]);
        if (!slot) {
            m.Result = Outcome::Convert;
            m.BadWord = words[0];
            return m;
        }
        if (*slot < 0) {
            m.Result = Outcome::Range;
            return m;
        }
        const std::size_t length = static_cast<std::size_t>(*slot) + 1;
        if (length > TSceneTable::MaxLength) {
            m.Result = Outcome::OutOfMemory;
            return m;
        }
        m.Length = length;
        m.Entries.erase(m.Entries.lower_bound(length), m.Entries.end());
        auto frame = fuzz::ReferenceStrToInt(words[1]);
        if (!frame) {
            m.Result = Outcome::Convert;
            m.BadWord = words[1];
            return m;
        }
        m.Entries[static_cast<std::size_t>(*slot)] =
            static_cast<std::int32_t>(static_cast<std::uint32_t>(*frame) - 1u);
    }
    return m;
}

void CompareTable(const Model& m) {
    fuzz::Check(SceneTable.size() == m.Length, "table length differs from the model");
    for (std::size_t slot = 0; slot < SceneTable.size(); ++slot) {
        const pmovie& e = SceneTable[slot];
        for (const std::string& t : e.Texts)
            fuzz::Check(t.empty(), "Texts set");
        auto it = m.Entries.find(slot);
        if (it == m.Entries.end()) {
            fuzz::Check(e.HasEntry == 0 && e.StartFrame == 0, "entry set that no line set");
        } else {
            fuzz::Check(e.HasEntry == 1, "entry missing");
            fuzz::Check(e.StartFrame == it->second, "StartFrame differs from the model");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string path = fuzz::Scratch().Write("scene.dat", Data, Size);
    const Model expected = Expected(std::string_view(reinterpret_cast<const char*>(Data), Size));

    SceneTable.clear();
    Outcome got = Outcome::None;
    std::string message;
    try {
        ReadSceneScriptFrom(path);
    } catch (const EConvertError& e) {
        got = Outcome::Convert;
        message = e.Message();
    } catch (const ERangeError&) {
        got = Outcome::Range;
    } catch (const EOutOfMemory&) {
        got = Outcome::OutOfMemory;
    } catch (const Exception&) {
        got = Outcome::Other; // a file error on a readable file
    }
    fuzz::Check(got == expected.Result, "outcome differs from the model");
    if (got == Outcome::Convert)
        fuzz::Check(message == "'" + expected.BadWord + "' ist kein gültiger Integerwert",
                    "conversion error names another word");
    CompareTable(expected);
    SceneTable.clear();
    return 0;
}
