#pragma once

namespace tolvaran::fixtures {

// Names the decoding program of this build (TOLVARAN_PICTURE_DECODER), unless the
// environment names one already: a test or benchmark program is not installed beside it.
// Called by every test program's main, and by the benchmarks that show pictures.
void nameBuiltPictureDecoder();

} // namespace tolvaran::fixtures
