#include "winwizard/Pages.h"

namespace norva::win {
namespace {

// The foreground operation (mask 1, pure white) leaves the page; the
// background one (mask 0) copies the picture.
constexpr DWORD kMaskCopyOrKeep = 0xCCAA0020;
constexpr DWORD kDestAndNotSource = 0x00220326;

void Paint(HWND window) {
    const auto bitmap =
        reinterpret_cast<HBITMAP>(SendMessageW(window, STM_GETIMAGE, IMAGE_BITMAP, 0));
    PAINTSTRUCT ps;
    const HDC paint = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;

    const HDC image = CreateCompatibleDC(paint);
    const HBITMAP imageBitmap = CreateCompatibleBitmap(paint, w, h);
    const HGDIOBJ oldImage = SelectObject(image, imageBitmap);
    const HDC mask = CreateCompatibleDC(paint);
    const HBITMAP maskBitmap = CreateBitmap(w, h, 1, 1, nullptr);
    const HGDIOBJ oldMask = SelectObject(mask, maskBitmap);

    const HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(image, &r, white);
    DeleteObject(white);
    const HDC source = CreateCompatibleDC(paint);
    const HGDIOBJ oldSource = SelectObject(source, bitmap);
    BitBlt(image, 0, 0, w, h, source, 0, 0, SRCCOPY);
    SelectObject(source, oldSource);
    DeleteDC(source);

    const COLORREF oldBack = SetBkColor(image, RGB(255, 255, 255));
    BitBlt(mask, 0, 0, w, h, image, 0, 0, SRCCOPY);
    SetBkColor(image, oldBack);

    if (!MaskBlt(paint, 0, 0, w, h, image, 0, 0, maskBitmap, 0, 0, kMaskCopyOrKeep)) {
        // The same picture in five transfers where MaskBlt is missing.
        const HDC temp = CreateCompatibleDC(paint);
        const HBITMAP tempBitmap = CreateCompatibleBitmap(paint, w, h);
        const HGDIOBJ oldTemp = SelectObject(temp, tempBitmap);
        BitBlt(temp, 0, 0, w, h, paint, 0, 0, SRCCOPY);
        BitBlt(temp, 0, 0, w, h, mask, 0, 0, SRCAND);
        BitBlt(image, 0, 0, w, h, mask, 0, 0, kDestAndNotSource);
        BitBlt(temp, 0, 0, w, h, image, 0, 0, SRCPAINT);
        BitBlt(paint, 0, 0, w, h, temp, 0, 0, SRCCOPY);
        SelectObject(temp, oldTemp);
        DeleteObject(tempBitmap);
        DeleteDC(temp);
    }
    SelectObject(mask, oldMask);
    DeleteObject(maskBitmap);
    DeleteDC(mask);
    SelectObject(image, oldImage);
    DeleteObject(imageBitmap);
    DeleteDC(image);
    EndPaint(window, &ps);
}

LRESULT CALLBACK TransparentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    if (message == WM_PAINT && SendMessageW(window, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0) {
        Paint(window);
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, TransparentProc, 0);
    }
    // Without a bitmap it paints as a plain static.
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

void MakeTransparent(HWND pictureStatic) {
    if (pictureStatic != nullptr) {
        SetWindowSubclass(pictureStatic, TransparentProc, 0, 0);
    }
}

} // namespace norva::win
