#include "support/BuiltPrograms.h"

#include "remote_image/decoding/PictureDecoderPool.h"

#include <QtGlobal>

namespace tolvaran::fixtures {

void nameBuiltPictureDecoder()
{
    if (qEnvironmentVariableIsEmpty(markdown::PictureDecoderPool::programVariable))
        qputenv(markdown::PictureDecoderPool::programVariable, TOLVARAN_PICTURE_DECODER_BUILT);
}

} // namespace tolvaran::fixtures
