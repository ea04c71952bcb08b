// Fuzz target: any bytes as the head of a camera's JPEG, through the reader of
// its embedded thumbnail (segments, then the TIFF directories of its EXIF
// data, then the thumbnail's own frame). What it returns covers the cell and
// names the picture's size.
#include "Fuzz.h"
#include "thumbnailing/ExifThumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QSize cell(100, 100);  // the 96 x 96 seed falls short, the 160 x 120 ones cover it
    const auto found = exifThumbnail(fuzz::bytes(data, size), cell);
    fuzz::require(!found
                  || (found->image.width() >= cell.width() && found->image.height() >= cell.height()
                      && !found->fileSize.isEmpty()));
    return 0;
}
