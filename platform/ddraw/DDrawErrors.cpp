#include "platform/ddraw/DDraw.h"

const char* DirectDrawErrorText(HRESULT Result) {
    switch (Result) {
    case DD_OK:
        return "The request completed successfully.";
    case DDERR_GENERIC:
        return "Generic failure.";
    case E_POINTER:
        return "An invalid pointer was given.";
    case DDERR_INVALIDPARAMS:
        return "One or more of the parameters passed to the method are incorrect.";
    case DDERR_OUTOFMEMORY:
        return "There is not enough memory to perform the operation.";
    case DDERR_UNSUPPORTED:
        return "The operation is not supported.";
    case DDERR_INVALIDCAPS:
        return "One or more of the capability bits passed to the callback function are "
               "incorrect.";
    case DDERR_INVALIDMODE:
        return "The requested display mode is not supported.";
    case DDERR_INVALIDOBJECT:
        return "An invalid object was passed: it was not made by this DirectDraw layer.";
    case DDERR_INVALIDPIXELFORMAT:
        return "The pixel format was invalid as specified.";
    case DDERR_INVALIDRECT:
        return "The rectangle provided was invalid.";
    case DDERR_NOCOOPERATIVELEVELSET:
        return "A create function was called without SetCooperativeLevel being called first.";
    case DDERR_NODIRECTDRAWSUPPORT:
        return "No DirectDraw support is possible with the current display driver.";
    case DDERR_NOEXCLUSIVEMODE:
        return "The operation requires the application to have exclusive mode.";
    case DDERR_NOTFOUND:
        return "The requested item was not found.";
    case DDERR_SURFACEBUSY:
        return "Access to the surface is refused because it is in use (a device context "
               "is out).";
    case DDERR_SURFACELOST:
        return "Access to the surface is refused because its memory is gone; Restore must be "
               "called.";
    case DDERR_WASSTILLDRAWING:
        return "The previous blit or flip on this surface is incomplete.";
    case DDERR_INVALIDDIRECTDRAWGUID:
        return "The GUID passed to DirectDrawCreateEx is not a valid DirectDraw driver "
               "identifier.";
    case DDERR_PRIMARYSURFACEALREADYEXISTS:
        return "This process has already created a primary surface.";
    case DDERR_HWNDALREADYSET:
        return "The cooperative level window has already been set; it cannot be reset while "
               "in exclusive mode.";
    case DDERR_EXCLUSIVEMODEALREADYSET:
        return "Another DirectDraw object already has exclusive mode.";
    case DDERR_NOTFLIPPABLE:
        return "An attempt was made to flip a surface that cannot be flipped.";
    case DDERR_CANTCREATEDC:
        return "The device context could not be made for this surface.";
    case DDERR_NODC:
        return "No device context was ever made for this surface.";
    case DDERR_DCALREADYCREATED:
        return "A device context has already been returned for this surface; only one can be "
               "retrieved for each surface.";
    default:
        return "Unrecognized Error";
    }
}
