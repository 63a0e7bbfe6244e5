#include "ui/sheet_accessible_win.h"

#include <algorithm>
#include <atomic>
#include <exception>

#include "platform/win32.h"
#include "ui/window_win.h"

namespace risview::ui {

using namespace model;

namespace {

// IID_IAccessible, spelled out: the x86_64 MinGW import library resolves its symbol to an
// import stub rather than the GUID, and every request with it would be refused.
constexpr GUID kIAccessible = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

BSTR bstr(std::string_view utf8) {
  return SysAllocString(win::widen(utf8).c_str());
}

bool isSelf(const VARIANT& v) {
  return v.vt == VT_I4 && v.lVal == CHILDID_SELF;
}

// Objects not yet deleted: a client that still holds one can call into this module.
std::atomic<long> liveObjects{0};

}  // namespace

// A COM interface has no virtual destructor: the object is deleted through its own type, in
// Release, and never through the interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor): as for the warning above
class SheetAccessible final : public IAccessible {
 public:
  SheetAccessible(const SheetSource& source, HWND window, const Component& sheet)
      : source_(&source), window_(window), sheet_(&sheet) {
    ++liveObjects;
  }
  ~SheetAccessible() { --liveObjects; }

  void disconnect() { source_ = nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, kIAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: clients use the vtable.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return guarded([&] {
      if (!parent) return E_POINTER;
      return AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                        reinterpret_cast<void**>(parent));
    });
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    return guarded([&] {
      if (!count) return E_POINTER;
      *count = static_cast<long>(items().size());
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return guarded([&] {
      if (!out) return E_POINTER;
      *out = nullptr;
      const ReadableItem* item = itemOf(child);
      if (!item) return E_INVALIDARG;
      // An edit or rich-text box is the system's object of its own window.
      if (HWND h = source_->componentWindow(item->component->name)) {
        return AccessibleObjectFromWindow(h, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(out));
      }
      return S_FALSE;  // a simple element, known by its id
    });
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return text(child, name,
                [&](const ReadableItem* item) { return item ? item->name : sheetTitle(); });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    // The sheet's value is its text in reading order, as copying the page gives it.
    return text(child, value, [&](const ReadableItem* item) {
      return item ? (item->role == ReadRole::Edit ? item->name : std::string())
                  : sheetText(source_->sheetModel(), *sheet_);
    });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
    return nothing(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return guarded([&] {
      if (!role) return E_POINTER;
      VariantInit(role);
      if (!known(child)) return E_INVALIDARG;
      const ReadableItem* item = itemOf(child);
      role->vt = VT_I4;
      role->lVal = !item                             ? ROLE_SYSTEM_DOCUMENT
                   : item->role == ReadRole::Text    ? ROLE_SYSTEM_STATICTEXT
                   : item->role == ReadRole::Graphic ? ROLE_SYSTEM_GRAPHIC
                                                     : ROLE_SYSTEM_TEXT;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return guarded([&] {
      if (!state) return E_POINTER;
      VariantInit(state);
      if (!known(child)) return E_INVALIDARG;
      long flags = STATE_SYSTEM_READONLY;
      if (!IsWindowVisible(window_)) flags |= STATE_SYSTEM_INVISIBLE;
      RECT r = locationOf(itemOf(child)), shown{}, view{};
      GetWindowRect(GetParent(window_), &view);
      if (!IntersectRect(&shown, &r, &view)) flags |= STATE_SYSTEM_OFFSCREEN;
      state->vt = VT_I4;
      state->lVal = flags;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override {
    return nothing(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return source_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
    return nothing(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus) VariantInit(focus);
    return source_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection) VariantInit(selection);
    return source_ ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
    return nothing(child, out);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override {
    return source_ ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    return guarded([&] {
      if (!left || !top || !width || !height) return E_POINTER;
      if (!known(child)) return E_INVALIDARG;
      const RECT r = locationOf(itemOf(child));
      *left = r.left, *top = r.top, *width = r.right - r.left, *height = r.bottom - r.top;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return guarded([&] {
      if (!end) return E_POINTER;
      VariantInit(end);
      if (!known(start)) return E_INVALIDARG;
      const long count = static_cast<long>(items().size());
      long to = 0;
      const bool self = isSelf(start);
      switch (direction) {
        case NAVDIR_FIRSTCHILD:
          if (!self) return E_INVALIDARG;
          to = count > 0 ? 1 : 0;
          break;
        case NAVDIR_LASTCHILD:
          if (!self) return E_INVALIDARG;
          to = count;
          break;
        case NAVDIR_NEXT:
          if (self) return S_FALSE;  // the sheet's siblings are its window's to tell
          to = start.lVal < count ? start.lVal + 1 : 0;
          break;
        case NAVDIR_PREVIOUS:
          if (self) return S_FALSE;
          to = start.lVal > 1 ? start.lVal - 1 : 0;
          break;
        default:
          return S_FALSE;
      }
      if (to == 0) return S_FALSE;
      end->vt = VT_I4;
      end->lVal = to;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* at) override {
    return guarded([&] {
      if (!at) return E_POINTER;
      VariantInit(at);
      POINT p{x, y};
      RECT sheet{};
      GetWindowRect(window_, &sheet);
      if (!PtInRect(&sheet, p)) return S_FALSE;
      // The topmost: the last created among those under the point.
      const std::vector<ReadableItem>& all = items();
      at->vt = VT_I4;
      at->lVal = CHILDID_SELF;
      for (size_t i = all.size(); i-- > 0;) {
        const RECT r = locationOf(&all[i]);
        if (PtInRect(&r, p)) {
          at->lVal = static_cast<long>(i + 1);
          break;
        }
      }
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override {
    return source_ ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  // No error may leave through a client's call; none is answered once the page has gone.
  template <typename Body>
  HRESULT guarded(Body body) noexcept {
    if (!source_) return CO_E_OBJNOTCONNECTED;
    try {
      return body();
    } catch (const std::exception& e) {
      reportEscapedError("sheet accessible object", e.what());
    } catch (...) {
      reportEscapedError("sheet accessible object", "an unknown error");
    }
    return E_FAIL;
  }

  template <typename Text>
  HRESULT text(const VARIANT& child, BSTR* out, Text textOf) {
    return guarded([&] {
      if (!out) return E_POINTER;
      *out = nullptr;
      if (!known(child)) return E_INVALIDARG;
      const std::string t = textOf(itemOf(child));
      if (t.empty()) return S_FALSE;
      *out = bstr(t);
      return *out ? S_OK : E_OUTOFMEMORY;
    });
  }

  HRESULT nothing(const VARIANT& child, BSTR* out) {
    return text(child, out, [](const ReadableItem*) { return std::string(); });
  }

  // Read anew at each call: the page may have zoomed, scrolled or placed its pictures since.
  const std::vector<ReadableItem>& items() {
    items_ = readableItems(source_->sheetModel(), *sheet_);
    return items_;
  }
  bool known(const VARIANT& child) {
    if (child.vt != VT_I4) return false;
    return child.lVal == CHILDID_SELF ||
           (child.lVal > 0 && static_cast<size_t>(child.lVal) <= items().size());
  }
  // The child's item, or null for the sheet itself (or an id it does not have).
  const ReadableItem* itemOf(const VARIANT& child) {
    if (child.vt != VT_I4 || child.lVal <= 0) return nullptr;
    const std::vector<ReadableItem>& all = items();
    return static_cast<size_t>(child.lVal) <= all.size() ? &all[child.lVal - 1] : nullptr;
  }
  // On the screen: a window where it stands, a drawn component at the zoom from the
  // sheet's corner.
  RECT locationOf(const ReadableItem* item) const {
    RECT r{};
    if (!item) {
      GetWindowRect(window_, &r);
      return r;
    }
    if (HWND h = source_->componentWindow(item->component->name)) {
      GetWindowRect(h, &r);
      return r;
    }
    r = toRect(source_->sheetScale()(item->component->rect));
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  std::string sheetTitle() const {
    const std::vector<const Component*> sheets = source_->sheetModel().sheets();
    const auto at = std::find(sheets.begin(), sheets.end(), sheet_);
    const long number = at == sheets.end() ? 0 : static_cast<long>(at - sheets.begin());
    return number == 0 ? "报告单" : "报告单 续页 " + std::to_string(number);
  }

  const SheetSource* source_;
  HWND window_;
  const Component* sheet_;
  std::vector<ReadableItem> items_;
  std::atomic<ULONG> references_{1};
};
#pragma GCC diagnostic pop

SheetAccessible* makeSheetAccessible(const SheetSource& source, HWND sheetWindow,
                                     const Component& sheet) {
  return new SheetAccessible(source, sheetWindow, sheet);
}

void disconnect(SheetAccessible* object) {
  if (!object) return;
  object->disconnect();
  // The system's stub keeps a reference for every client that read the object, and would
  // call into this module after the host has freed it. Cut off here, on the thread that
  // made the object, the stub lets go now, and a client's later call is answered by the
  // system itself as a disconnection.
  CoDisconnectObject(static_cast<IAccessible*>(object), 0);
}

long liveSheetAccessibles() {
  return liveObjects;
}

void release(SheetAccessible* object) {
  if (object) object->Release();
}

LRESULT answerGetObject(SheetAccessible* object, WPARAM wParam) {
  return LresultFromObject(kIAccessible, wParam, static_cast<IAccessible*>(object));
}

long childIdOf(const PageModel& model, const Component& sheet, const Component& c) {
  const std::vector<ReadableItem> all = readableItems(model, sheet);
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].component == &c) return static_cast<long>(i + 1);
  }
  return 0;
}

}  // namespace risview::ui
