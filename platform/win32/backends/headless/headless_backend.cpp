// The headless back end: windows and the desktop exist only in memory, and input
// arrives only through InjectInput. The desktop is 1920x1080 at 60 Hz and grows to
// contain any window placed beyond it. Nothing is shown, so there are no display modes
// to switch to, no pointer images, message boxes or dialog views.
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "backend.h"
#include "dialog_model.h"

namespace win32impl {

namespace {

class HeadlessBackend final : public Backend {
 public:
  win32ext::BackendKind Kind() const override { return win32ext::BackendKind::Headless; }
  bool ShowsWindows() const override { return false; }

  uint32_t CreateNativeWindow(const NativeWindowDesc& desc) override {
    std::lock_guard lock(mutex_);
    uint32_t id = nextId_++;
    GrowDesktop(desc.rect);
    return id;
  }
  void DestroyNativeWindow(uint32_t) override {}
  void SetRect(uint32_t, const RECT& rect) override {
    std::lock_guard lock(mutex_);
    GrowDesktop(rect);
  }
  void SetVisible(uint32_t, bool) override {}
  void SetBordered(uint32_t, bool) override {}
  void SetMinimumSize(uint32_t, int, int) override {}
  void SetShowState(uint32_t, ShowState) override {}
  void ShowImage(uint32_t, const win32ext::ScreenImage&, const RECT&) override {}

  bool PollEvent(NativeEvent* event) override {
    std::lock_guard lock(mutex_);
    if (events_.empty()) return false;
    *event = events_.front();
    events_.pop_front();
    return true;
  }
  void WaitForEvents(int timeoutMs) override {
    std::unique_lock lock(mutex_);
    wakeup_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                     [this] { return !events_.empty() || woken_; });
    woken_ = false;
  }
  void Wake() override {
    {
      std::lock_guard lock(mutex_);
      woken_ = true;
    }
    wakeup_.notify_all();
  }
  void Inject(const NativeEvent& event) override {
    {
      std::lock_guard lock(mutex_);
      events_.push_back(event);
    }
    wakeup_.notify_all();
  }

  void SetPointerImage(const win32ext::MonochromeImage*) override {}
  uintptr_t ShowColorPointer(const win32ext::ColorPointerImage&) override { return 0; }
  void ReleaseColorPointer(uintptr_t) override {}
  void ConfinePointer(uint32_t, const RECT*) override {}
  void WarpPointer(uint32_t, int, int) override {}

  void Displays(std::vector<win32ext::DisplayInfo>& into) override {
    std::lock_guard lock(mutex_);
    into.resize(1);
    into[0].name = "Headless desktop";
    into[0].bounds = {0, 0, desktopWidth_, desktopHeight_};
    into[0].refreshRate = 60;
  }
  std::vector<win32ext::DisplayMode> DisplayModes(int) override { return {}; }

  void StartDialogToolkit() override {}
  std::optional<int> ShowMessageBox(const MessageBoxRequest&) override { return std::nullopt; }
  std::unique_ptr<DialogView> CreateDialogView(Dialog&) override { return nullptr; }

 private:
  void GrowDesktop(const RECT& rect) {
    desktopWidth_ = std::max<LONG>(desktopWidth_, rect.right);
    desktopHeight_ = std::max<LONG>(desktopHeight_, rect.bottom);
  }

  std::mutex mutex_;
  std::condition_variable wakeup_;
  std::deque<NativeEvent> events_;
  bool woken_ = false;
  uint32_t nextId_ = 1;
  LONG desktopWidth_ = 1920;
  LONG desktopHeight_ = 1080;
};

}  // namespace

std::unique_ptr<Backend> CreateHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace win32impl
