#include "station/QrCode.h"

#include <cerrno>
#include <cstring>
#include <qrencode.h>

namespace norva::station {

bool EncodeQr(const std::string& text, QrMatrix& out, std::string& error) {
    QRcode* code = QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M);
    if (code == nullptr) {
        const int err = errno;
        // strerror's buffer is shared by all threads; the GNU strerror_r
        // returns either its own static text or `reason`.
        char reason[256];
        error =
            std::string("the QR code could not be made: ") + strerror_r(err, reason, sizeof reason);
        return false;
    }
    out.size = code->width;
    out.dark.resize(static_cast<size_t>(code->width) * static_cast<size_t>(code->width));
    for (size_t i = 0; i < out.dark.size(); ++i) {
        // Bit 0 of each byte is the module's colour; the others are how
        // libqrencode built it.
        out.dark[i] = code->data[i] & 1;
    }
    QRcode_free(code);
    return true;
}

} // namespace norva::station
