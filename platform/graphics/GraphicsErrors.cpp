#include "platform/graphics/GraphicsErrors.h"

EFOpenError::EFOpenError(const std::string& FileName)
    : Exception("Datei " + FileName + " kann nicht geöffnet werden") {}

EReadError::EReadError() : Exception("Stream-Read-Fehler") {}

EJPEG::EJPEG(int ErrorCode)
    : Exception("JPEG-Fehler #" + std::to_string(ErrorCode)), Code(ErrorCode) {}
