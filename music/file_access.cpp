// File callbacks and the player-side file records; the resource-backed callbacks serve bytes the
// application owns (the embedded module or a file it read).
#include <cstring>

#include "music/internal.h"

namespace glimmer::music {

namespace {

struct FileCallbacks {
  OpenCallback open = nullptr;
  CloseCallback close = nullptr;
  ReadCallback read = nullptr;
  SeekCallback seek = nullptr;
  TellCallback tell = nullptr;
};

FileCallbacks callbacks;
std::span<const uint8_t> moduleBytes;

}  // namespace

void setFileCallbacks(OpenCallback open, CloseCallback close, ReadCallback read, SeekCallback seek,
                      TellCallback tell) {
  if (open && close && read && seek && tell) {
    callbacks = {open, close, read, seek, tell};
  } else {
    callbacks = {};
  }
}

bool fileCallbacksInstalled() {
  return callbacks.open && callbacks.close && callbacks.read && callbacks.seek && callbacks.tell;
}

void setModuleBytes(std::span<const uint8_t> bytes) { moduleBytes = bytes; }

void installResourceCallbacks() {
  setFileCallbacks(resourceOpen, resourceClose, resourceRead, resourceSeek, resourceTell);
}

void* resourceOpen(const char*) {
  auto* stream = new ResourceStream;
  // Sizes beyond 4 GiB cannot be addressed by the 32-bit stream; serve the first 4 GiB - 1.
  stream->size =
      moduleBytes.size() > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(moduleBytes.size());
  stream->data = moduleBytes.data();
  return stream;
}

void resourceClose(void* stream) { delete static_cast<ResourceStream*>(stream); }

uint32_t resourceRead(void* buffer, uint32_t count, void* handle) {
  auto* stream = static_cast<ResourceStream*>(handle);
  uint32_t left = stream->size - stream->position;
  uint32_t n = count < left ? count : left;
  if (n > 0) std::memcpy(buffer, stream->data + stream->position, n);
  stream->position += n;
  return n;
}

void resourceSeek(void* handle, int32_t offset, int mode) {
  auto* stream = static_cast<ResourceStream*>(handle);
  // Unsigned arithmetic: a negative result wraps to a huge position, which the clamp below turns
  // into the size, as for any position past the end.
  uint32_t delta = static_cast<uint32_t>(offset);
  switch (mode) {
    case 0:
      stream->position = delta;
      break;
    case 1:
      stream->position += delta;
      break;
    case 2:
      stream->position = stream->size + delta;
      break;
    default:
      break;
  }
  if (stream->position > stream->size) stream->position = stream->size;
}

uint32_t resourceTell(void* handle) { return static_cast<ResourceStream*>(handle)->position; }

ModuleFile* openFile(const char* name) {
  if (!callbacks.open) return nullptr;
  auto* file = new ModuleFile;
  file->handle = callbacks.open(name);
  if (!file->handle) {
    delete file;
    return nullptr;
  }
  return file;
}

void closeFile(ModuleFile* file) {
  if (!file) return;
  if (callbacks.close) callbacks.close(file->handle);
  delete file;
}

uint32_t readFile(void* buffer, uint32_t count, ModuleFile* file) {
  if (!file || !callbacks.read) return 0;
  return callbacks.read(buffer, count, file->handle);
}

void seekFile(ModuleFile* file, int32_t offset, int mode) {
  if (!file || !callbacks.seek) return;
  callbacks.seek(file->handle, offset, mode);
}

uint32_t tellFile(ModuleFile* file) {
  if (!file || !callbacks.tell) return 0;
  return callbacks.tell(file->handle);
}

}  // namespace glimmer::music
