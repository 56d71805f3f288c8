#pragma once
// The errors the picture classes raise. Their texts are the runtime's
// German ones, byte for byte, as the program's users always saw them.
#include "platform/rtl/Exceptions.h"

#include <string>

// A file that cannot be opened: "Datei %s kann nicht geöffnet werden", the
// name exactly as the caller passed it.
class EFOpenError : public Exception {
public:
    explicit EFOpenError(const std::string& FileName);
};

// A file that delivers fewer bytes than its size: "Stream-Read-Fehler".
class EReadError : public Exception {
public:
    EReadError();
};

// A fatal error of the JPEG decoder: "JPEG-Fehler #%d" with libjpeg's message
// code (which differs between library releases).
class EJPEG : public Exception {
public:
    explicit EJPEG(int Code);
    int Code;
};
