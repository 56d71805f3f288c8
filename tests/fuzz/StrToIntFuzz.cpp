// Fuzz target: the integer conversion. StrToInt and TryStrToInt must agree
// with each other and with the reference version of the rules; StrToInt's
// error names the text byte for byte.
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/SysUtils.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    // A copy of exactly Size bytes, so reading past the text is caught.
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    const std::string_view view(text);
    const auto expected = fuzz::ReferenceStrToInt(view);

    std::int32_t tried = 12345;
    const bool ok = TryStrToInt(view, tried);
    fuzz::Check(ok == expected.has_value(), "TryStrToInt accepts differently from the rules");
    if (ok)
        fuzz::Check(tried == *expected, "TryStrToInt gives another value than the rules");

    try {
        const std::int32_t value = StrToInt(view);
        fuzz::Check(expected.has_value(), "StrToInt accepts a text the rules reject");
        fuzz::Check(value == *expected, "StrToInt gives another value than the rules");
    } catch (const EConvertError& e) {
        fuzz::Check(!expected.has_value(), "StrToInt rejects a text the rules accept");
        fuzz::Check(e.Message() == "'" + text + "' ist kein gültiger Integerwert",
                    "the conversion error does not name the text");
    }
    return 0;
}
