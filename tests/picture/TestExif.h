#pragma once

#include <libexif/exif-data.h>

#include <cstdlib>
#include <string>

namespace lmvo::test {

// An EXIF block ("Exif\0\0" and a TIFF structure) holding only the orientation.
inline std::string exifOrientation(int orientation, ExifByteOrder order)
{
    ExifData* exif = exif_data_new();
    exif_data_set_byte_order(exif, order);
    ExifEntry* e = exif_entry_new();
    exif_content_add_entry(exif->ifd[EXIF_IFD_0], e);
    exif_entry_initialize(e, EXIF_TAG_ORIENTATION);
    exif_set_short(e->data, order, ExifShort(orientation));
    exif_entry_unref(e);
    unsigned char* data = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &data, &size);
    exif_data_unref(exif);
    std::string block(reinterpret_cast<char*>(data), size);
    std::free(data);
    return block;
}

} // namespace lmvo::test
