#include "support/markdown/LibjpegWriter.h"

#include <cstdlib>

namespace tolvaran::fixtures {

QByteArray LibjpegWriter::write(const QImage &image) const
{
    const bool grey = image.format() == QImage::Format_Grayscale8;
    const QImage rows = grey ? image : image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct compressor{};
    jpeg_error_mgr errors{};
    compressor.err = jpeg_std_error(&errors);
    jpeg_create_compress(&compressor);
    unsigned char *written = nullptr;
    unsigned long writtenBytes = 0;
    jpeg_mem_dest(&compressor, &written, &writtenBytes);
    compressor.image_width = JDIMENSION(rows.width());
    compressor.image_height = JDIMENSION(rows.height());
    compressor.input_components = grey ? 1 : 3;
    compressor.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&compressor);
    compressor.arith_code = arithmetic ? TRUE : FALSE;
    if (!scans.empty()) {
        compressor.scan_info = scans.data();
        compressor.num_scans = int(scans.size());
    } else if (progressive) {
        jpeg_simple_progression(&compressor);
    }
    jpeg_start_compress(&compressor, TRUE);
    while (compressor.next_scanline < compressor.image_height) {
        auto *row = const_cast<JSAMPLE *>(rows.constScanLine(int(compressor.next_scanline)));
        jpeg_write_scanlines(&compressor, &row, 1);
    }
    jpeg_finish_compress(&compressor);
    jpeg_destroy_compress(&compressor);
    const QByteArray jpeg(reinterpret_cast<const char *>(written), qsizetype(writtenBytes));
    std::free(written);
    return jpeg;
}

} // namespace tolvaran::fixtures
