// TextEngine.cpp -- the handle-based interface: parts, context table, errors.
#include "render/textengine/TextEngine.h"

#include <map>
#include <memory>
#include <mutex>

#include "render/draw/Draw.h"
#include "render/textengine/Context.h"
#include "render/textengine/Font.h"
#include "render/textengine/FreeType.h"
#include "render/textengine/PostProcess.h"

namespace ts {

namespace {

// Engine-wide state; creating, binding and destroying contexts hold gLock.
// The rasteriser is declared first so that it outlives the fonts at exit.
TtsFreeType gFreeType;
std::mutex gLock;
std::map<TtsContextID, std::unique_ptr<TtsContext>> gContexts;
TtsContextID gNextContext = 1;
uint32_t gReadyParts = 0;

thread_local TtsContext* tCurrent = nullptr;
thread_local uint32_t tError = kNoError;
thread_local const char* tErrorOperation = "";

// Records `error` (when not 0) for this thread; true when there was none.
bool Report(uint32_t error, const char* operation) {
  if (error == kNoError) return true;
  tError = error;
  tErrorOperation = operation;
  return false;
}

// This thread's context, or null after reporting "no active context".
TtsContext* Current(const char* operation) {
  if (!tCurrent) Report(kErrorNoActiveContext, operation);
  return tCurrent;
}

// The current font, or null after reporting why there is none.
TtsFont* CurrentFont(const char* operation) {
  TtsContext* context = Current(operation);
  if (!context) return nullptr;
  if (!context->CurrentFont()) Report(kErrorNoActiveFont, operation);
  return context->CurrentFont();
}

bool OpenGLAvailable() {
  return gfx::ContextCurrent();
}

}  // namespace

bool Init(uint32_t parts) {
  const std::lock_guard guard(gLock);
  uint32_t ready = gReadyParts | kInitCore;
  if ((parts & kInitGDI) && gFreeType.Open()) ready |= kInitGDI;
  if ((parts & kInitOpenGL) && OpenGLAvailable()) ready |= kInitOpenGL;
  gReadyParts = ready;
  return Report((parts & ready) == parts ? kNoError : kErrorNotInitialized, "Init");
}

void Quit() {
  const std::lock_guard guard(gLock);
  gContexts.clear();
  tCurrent = nullptr;
  gReadyParts = 0;
  gFreeType.Close();
}

bool ContextCreate(TtsContextID& context) {
  const std::lock_guard guard(gLock);
  if (!(gReadyParts & kInitCore)) return Report(kErrorNotInitialized, "ContextCreate");
  try {
    auto created = std::make_unique<TtsContext>(gNextContext);
    created->Owner = std::this_thread::get_id();
    if (tCurrent) tCurrent->Owner = std::thread::id();
    tCurrent = created.get();
    context = gNextContext++;
    gContexts.emplace(context, std::move(created));
    return true;
  } catch (const std::bad_alloc&) {
    return Report(kErrorOutOfMemory, "ContextCreate");
  }
}

void ContextDestroy(TtsContextID context) {
  const std::lock_guard guard(gLock);
  const auto found = gContexts.find(context);
  if (found == gContexts.end()) {
    Report(kErrorInvalidValue, "ContextDestroy");
    return;
  }
  TtsContext& target = *found->second;
  if (target.Owner != std::thread::id() && target.Owner != std::this_thread::get_id()) {
    Report(kErrorInvalidOperation, "ContextDestroy");
    return;
  }
  if (tCurrent == &target) tCurrent = nullptr;
  gContexts.erase(found);
}

bool ContextBind(TtsContextID context) {
  const std::lock_guard guard(gLock);
  const auto found = gContexts.find(context);
  if (found == gContexts.end()) return Report(kErrorInvalidValue, "ContextBind");
  TtsContext& target = *found->second;
  if (target.Owner != std::thread::id() && target.Owner != std::this_thread::get_id())
    return Report(kErrorInvalidOperation, "ContextBind");
  if (tCurrent && tCurrent != &target) tCurrent->Owner = std::thread::id();
  target.Owner = std::this_thread::get_id();
  tCurrent = &target;
  return true;
}

void SetParameteri(TtsEnum parameter, TtsEnum value) {
  if (TtsContext* context = Current("SetParameter"))
    Report(context->SetParameter(parameter, value, (gReadyParts & kInitOpenGL) != 0), "SetParameter");
}

TtsEnum GetParameteri(TtsEnum parameter) {
  TtsEnum value = 0;
  if (TtsContext* context = Current("GetParameter")) Report(context->GetParameter(parameter, value), "GetParameter");
  return value;
}

bool FontCreateCreator(std::string_view name, int size, int style, TtsEnum antiAliasing, TtsEnum format,
                       TtsFontID& font) {
  TtsContext* context = Current("FontCreate");
  if (!context) return false;
  if (!(gReadyParts & kInitGDI)) return Report(kErrorNotInitialized, "FontCreate");
  return Report(context->CreateFont(gFreeType, name, size, style, antiAliasing, format, font), "FontCreate");
}

void FontDestroy(TtsFontID font) {
  if (TtsContext* context = Current("FontDestroy")) Report(context->DestroyFont(font), "FontDestroy");
}

void FontBind(TtsFontID font) {
  if (TtsContext* context = Current("FontBind")) Report(context->BindFont(font), "FontBind");
}

bool FontGetMetrics(TtsFontMetrics& metrics) {
  TtsFont* font = CurrentFont("FontGetMetrics");
  if (font) metrics = font->Metrics();
  return font != nullptr;
}

void FontSetCharSpacing(int spacing) {
  if (TtsFont* font = CurrentFont("FontSetCharSpacing")) font->SetCharSpacing(spacing);
}

void PostAddShadow(float radius, int x, int y, float red, float green, float blue, float alpha) {
  TtsFont* font = CurrentFont("PostAddShadow");
  if (!font) return;
  try {
    font->AddPostProcessStep(std::make_unique<TtsPostShadow>(radius, x, y, red, green, blue, alpha));
  } catch (const std::bad_alloc&) {
    Report(kErrorOutOfMemory, "PostAddShadow");
  }
}

void TextBeginBlock(int left, int top, int width, int height, uint32_t flags) {
  if (TtsContext* context = Current("TextBeginBlock"))
    Report(context->BeginBlock(left, top, width, height, flags), "TextBeginBlock");
}

void TextOut(std::string_view text) {
  if (TtsContext* context = Current("TextOut")) Report(context->TextOut(text), "TextOut");
}

void TextEndBlock() {
  if (TtsContext* context = Current("TextEndBlock")) Report(context->EndBlock(), "TextEndBlock");
}

int TextGetWidth(std::string_view text) {
  int width = 0;
  if (TtsContext* context = Current("TextGetWidth")) Report(context->TextWidth(text, width), "TextGetWidth");
  return width;
}

uint32_t GetError() {
  const uint32_t error = tError;
  tError = kNoError;
  tErrorOperation = "";
  return error;
}

const char* GetErrorOperation() { return tErrorOperation; }

const char* GetErrorString(uint32_t code) {
  switch (code) {
    case kNoError: return "no error";
    case kErrorUnknown: return "unknown error";
    case kErrorNoActiveContext: return "no active context";
    case kErrorNoActiveRenderer: return "no active renderer";
    case kErrorNoActiveFont: return "no active font";
    case kErrorInvalidOperation: return "invalid operation";
    case kErrorInvalidEnum: return "invalid enum";
    case kErrorInvalidValue: return "invalid value";
    case kErrorOutOfMemory: return "out of memory";
    case kErrorNotInitialized: return "not initialized";
    default: return "unknown error";
  }
}

}  // namespace ts
