// Snapshot of the whole clipboard in a memory stream, and its way back: a list
// of entries (format id, registered name or "", data size, data bytes).
#pragma once

#include <cstdint>

#include "framework/core/streams.h"
#include "framework/values/value_stream.h"

namespace quillan {

// Writes every format of the clipboard into stream (appending at its position).
// An enhanced metafile is kept as its bits; other formats whose data are not plain
// global memory (bitmaps, palettes, old metafiles) are skipped. On failure the stream keeps the list start and the
// complete entries written so far (no list end), the clipboard is closed, and the error propagates.
void SaveClipboardToStream(TMemoryStream& stream);

// Empties the clipboard and fills it from stream (read from its start). Formats
// placed before a failure stay; a stream cut short ends with EReadError "Stream
// read error", a failed allocation with EOutOfMemory. The clipboard is closed.
void LoadClipboardFromStream(TMemoryStream& stream);

// One entry for format; nothing when the clipboard has no data (or no global
// memory) for it. Raises the lock failure of CopyStreamFromClipboard.
void WriteClipboardFormat(uint16_t format, TValueWriter& writer);
// Reads one entry and places it; a registered name is registered again and its
// number used instead of the stored one.
void ReadClipboardFormat(TValueReader& reader);

// Appends the clipboard's global block for format to stream and rewinds stream
// to 0; no data: stream unchanged. Raises Exception "CopyStreamFromClipboard:
// could not lock global handle obtained from clipboard!" when it cannot lock it.
void CopyStreamFromClipboard(uint16_t format, TStream& stream);
// Places stream's whole content on the clipboard under format (GlobalAlloc
// 0x2042); EOutOfMemory "Out of memory" when allocation or lock fails.
void CopyStreamToClipboard(uint16_t format, TStream& stream);

// True for formats whose clipboard handle is not a block of plain data (GDI
// objects, old-style metafiles, owner display), which a snapshot skips.
bool IsHandleOnlyClipboardFormat(uint16_t format);

}  // namespace quillan
