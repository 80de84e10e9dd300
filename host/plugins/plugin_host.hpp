// The plug-in host: loads every library of the installation folder, keeps the input
// modules (picture decoders) and the effect modules (transitions) they offer, routes picture
// files to the decoders by extension, and hands the modules the host's services: the shared
// decode buffer, the shared heap and the row sink.
//
// Modules are loaded, called and unloaded on one thread at a time; there is one decode
// buffer, so decoding is never done in parallel.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/native_handles.hpp"
#include "imaging/bitmap.hpp"
#include "kelv_effectmodule.h"
#include "kelv_inmodule.h"
#include "settings/effect_enable.hpp"

namespace kelv {

struct InModule {
  TInModule descriptor{};   // copied whole right after GetInModule
  bool enabled = true;
  std::string fileName;     // without folder, at most 100 characters
  NativeModule library = nullptr;
  bool optionsSent = false; // the module took the options record (and with it the
                            // six-argument decode); otherwise its decoders keep the
                            // four-argument form
  // The optional GetPictureInfo export (what the module learnt about the picture it last
  // decoded); nil for modules without it.
  KelvGetPictureInfoProc getPictureInfo = nullptr;
};

struct EffectModule {
  TEffectModule descriptor{};  // copied whole right after GetEffectModule
  EffectModuleState state;     // fileName, enabled, per group and per effect flags
  // The show cycle's working values: one per group, and per group one per effect.
  std::vector<int32_t> groupWork;
  std::vector<std::vector<int32_t>> effectWork;
  NativeModule library = nullptr;
};

// Loads the memory manager and every plug-in of the "Path" folder. Raises kelv::Exception
// "can't load <file>, <error>" for a library that cannot be loaded. A memory manager that
// cannot be loaded, and an input module that does not take the options, end the program
// (exit code 0) after their message.
void LoadPlugins();
// Sends each input module with an options entry a fresh options record (after a setting
// that the record carries changed).
void ResendInputOptions();
// Sends the release notice, frees the buffer, unloads every library and the memory manager.
void UnloadPlugins();

const std::vector<InModule>& InputModules();
std::vector<InModule>& MutableInputModules();
std::vector<EffectModule>& EffectModules();
// The effect modules' enable states in load order, for the settings store to fill from
// and save to the registry.
std::vector<EffectModuleState*> EffectModuleStates();
// Library handles of all libraries that provided an accepted module, each once.
const std::vector<NativeModule>& ModuleLibraries();

// Every extension the enabled input modules declare, as declared, in load order and
// declaration order: what the catalogue's BuildExtensionList takes to make the list of
// picture file extensions (TheScanner().Extensions = BuildExtensionList(DeclaredExtensions())).
std::vector<std::string> DeclaredExtensions();

// The shared decode buffer. AllocBuffer gives null outside the size limits; FreeBuffer
// releases the block and forgets its size (the picture loader calls it after each picture).
void* AllocBuffer(int64_t size);
void FreeBuffer();

// The host heap handed to the modules (same size limits as the buffer for GetMem).
void* KELV_REGCALL HostGetMem(uint32_t size);
void KELV_REGCALL HostFreeMem(void* block);
void* KELV_REGCALL HostReallocMem(void** block, uint32_t newSize);

// The row sink. While a handler is published, the host variable whose address the options
// record carries holds the entry the modules call; the handler may raise: the failure is
// kept on the host's side and the picture counts as unreadable.
using RowSinkHandler = bool (*)(intptr_t first, int32_t rowIndex, int32_t width, int32_t height);
void PublishRowSink(RowSinkHandler handler);
// The same for a C entry that never raises (it keeps its own failures).
void PublishRowSinkEntry(KelvRowSinkProc entry);
void WithdrawRowSink();

struct DecodeResult {
  std::unique_ptr<TBitmap> bitmap;  // wraps the shared buffer; null when nothing came back
  std::string formatName;
  int64_t fileSize = -1;
  // The picture's own size in display orientation; both negative when the size filter
  // rejected it; as passed in when no module took the file.
  int32_t width = 0;
  int32_t height = 0;
  bool decoded = false;
  bool fileMissing = false;
  bool fileUnopenable = false;
  bool rowsTaken = false;  // the row sink received the picture
  // When the picture was taken, as EXIF date text "YYYY:MM:DD HH:MM:SS", from the module
  // that decoded it; empty when it gave none (or none that is a real date).
  std::string dateTaken;
};

// Routes `fileName` to the first enabled input module declaring its extension. A wanted
// size of -1 x -1 asks for the size only.
DecodeResult DecodeFile(const std::string& fileName, int32_t wantWidth, int32_t wantHeight,
                        int32_t minWidth, int32_t minHeight);

}  // namespace kelv
