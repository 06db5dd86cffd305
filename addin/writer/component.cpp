// The extension's UNO component: a protocol handler for the tsendrel: dispatch URLs (the toolbar, the
// menu, scripts), which keeps one Session for each Writer window it is asked in, and the key handler that
// hands that window's keys to its session while Tibetan mode is on.
#include <com/sun/star/awt/XKeyHandler.hpp>
#include <com/sun/star/frame/XDispatch.hpp>
#include <com/sun/star/frame/FeatureStateEvent.hpp>
#include <com/sun/star/frame/XDispatchProvider.hpp>
#include <com/sun/star/frame/XStatusListener.hpp>
#include <com/sun/star/lang/XInitialization.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/lang/XSingleComponentFactory.hpp>
#include <cppuhelper/factory.hxx>
#include <cppuhelper/implbase1.hxx>
#include <cppuhelper/implbase4.hxx>
#include <cppuhelper/supportsservice.hxx>
#include <rtl/ref.hxx>
#include <map>
#include <memory>
#include <vector>
#include <uno/lbnames.h>

#include "session.h"

namespace tibet::writer {
namespace {

using css::uno::Any;
using css::uno::RuntimeException;
using css::uno::Sequence;
using css::uno::UNO_QUERY;

constexpr char kImplementation[] = "org.tsendrel.writer.Dispatcher";
constexpr char kProtocol[] = "tsendrel:";

Sequence<OUString> service_names() {
  Sequence<OUString> names(1);
  names.getArray()[0] = "com.sun.star.frame.ProtocolHandler";
  return names;
}

class KeyHandler;

// Who shows a command's state (a toolbar button, a menu entry): told whether Unicode typing is on.
struct StateListener {
  Reference<css::frame::XStatusListener> listener;
  css::util::URL url;
};

struct Window {
  std::unique_ptr<Session> session;
  rtl::Reference<KeyHandler> handler;
  std::vector<StateListener> listeners;
};

constexpr char kToggleUrl[] = "tsendrel:unicode-typing";

// Every window that has used the add-in, by its frame. UNO calls these on the main thread, one at a time.
std::map<css::uno::XInterface*, Window>& windows() {
  static std::map<css::uno::XInterface*, Window> all;
  return all;
}

css::uno::XInterface* key_of(const Reference<css::frame::XFrame>& frame) {
  return Reference<css::uno::XInterface>(frame, UNO_QUERY).get();
}

void forget_window(css::uno::XInterface* key);

// Takes the keys of one window, and hears of the window's end.
class KeyHandler : public cppu::WeakImplHelper1<css::awt::XKeyHandler> {
 public:
  explicit KeyHandler(css::uno::XInterface* frame) : frame_(frame) {}
  sal_Bool SAL_CALL keyPressed(const css::awt::KeyEvent& event) override {
    const auto found = windows().find(frame_);
    if (found == windows().end() || !found->second.session) return false;
    try {
      return found->second.session->key_pressed(event);
    } catch (const css::uno::Exception&) {
      return false;  // Writer types the key itself rather than losing it
    }
  }
  sal_Bool SAL_CALL keyReleased(const css::awt::KeyEvent&) override { return false; }
  void SAL_CALL disposing(const css::lang::EventObject& event) override {
    // The frame's end ends the window's session; the controller's end only drops the keys.
    if (Reference<css::uno::XInterface>(event.Source, UNO_QUERY).get() == frame_) forget_window(frame_);
  }

 private:
  css::uno::XInterface* frame_;
};

void forget_window(css::uno::XInterface* key) {
  const auto found = windows().find(key);
  if (found == windows().end()) return;
  // The session's end gives back the keys and restores the typing aids.
  std::unique_ptr<Session> session = std::move(found->second.session);
  windows().erase(found);
  session.reset();
}

// Tells a window's listeners whether Unicode typing is on; a listener that has gone is dropped.
void tell_state(css::uno::XInterface* key, const Reference<css::frame::XDispatch>& source) {
  const auto found = windows().find(key);
  if (found == windows().end()) return;
  Window& window = found->second;
  css::frame::FeatureStateEvent event;
  event.IsEnabled = true;
  event.Requery = false;
  event.Source = source;
  event.State <<= window.session != nullptr && window.session->unicode_typing();
  for (auto it = window.listeners.begin(); it != window.listeners.end();) {
    event.FeatureURL = it->url;
    try {
      it->listener->statusChanged(event);
      ++it;
    } catch (const css::uno::RuntimeException&) {
      it = window.listeners.erase(it);
    }
  }
}

Session& session_for(const Reference<css::uno::XComponentContext>& context,
                     const Reference<css::frame::XFrame>& frame) {
  css::uno::XInterface* key = key_of(frame);
  Window& window = windows()[key];
  if (!window.session) {
    window.handler = new KeyHandler(key);
    window.session = std::make_unique<Session>(context, frame, Reference<css::awt::XKeyHandler>(window.handler.get()));
    frame->addEventListener(Reference<css::lang::XEventListener>(window.handler.get()));
  }
  return *window.session;
}

class Dispatcher : public cppu::WeakImplHelper4<css::frame::XDispatchProvider, css::frame::XDispatch,
                                               css::lang::XInitialization, css::lang::XServiceInfo> {
 public:
  explicit Dispatcher(Reference<css::uno::XComponentContext> context) : context_(std::move(context)) {}

  void SAL_CALL initialize(const Sequence<Any>& arguments) override {
    if (arguments.getLength() > 0) arguments[0] >>= frame_;
  }

  Reference<css::frame::XDispatch> SAL_CALL queryDispatch(const css::util::URL& url, const OUString&,
                                                          sal_Int32) override {
    return command_of(url).empty() ? nullptr : Reference<css::frame::XDispatch>(this);
  }
  Sequence<Reference<css::frame::XDispatch>> SAL_CALL queryDispatches(
      const Sequence<css::frame::DispatchDescriptor>& requests) override {
    Sequence<Reference<css::frame::XDispatch>> out(requests.getLength());
    auto* to = out.getArray();
    for (sal_Int32 i = 0; i < requests.getLength(); ++i)
      to[i] = queryDispatch(requests[i].FeatureURL, requests[i].FrameName, requests[i].SearchFlags);
    return out;
  }

  void SAL_CALL dispatch(const css::util::URL& url, const Sequence<css::beans::PropertyValue>& args) override {
    const std::string command = command_of(url);
    if (command.empty() || !frame_.is()) return;
    session_for(context_, frame_).run(command, args);
    if (command == "unicode-typing") tell_state(key_of(frame_), this);
  }
  void SAL_CALL addStatusListener(const Reference<css::frame::XStatusListener>& listener,
                                  const css::util::URL& url) override {
    if (!listener.is() || !frame_.is() || url.Complete != kToggleUrl) return;
    // The window's session, which ends with the window, holds its listeners.
    session_for(context_, frame_);
    windows()[key_of(frame_)].listeners.push_back({listener, url});
    tell_state(key_of(frame_), this);
  }
  void SAL_CALL removeStatusListener(const Reference<css::frame::XStatusListener>& listener,
                                     const css::util::URL& url) override {
    if (!frame_.is()) return;
    const auto found = windows().find(key_of(frame_));
    if (found == windows().end()) return;
    auto& listeners = found->second.listeners;
    for (auto it = listeners.begin(); it != listeners.end(); ++it)
      if (it->listener == listener && it->url.Complete == url.Complete) {
        listeners.erase(it);
        break;
      }
  }

  OUString SAL_CALL getImplementationName() override { return kImplementation; }
  sal_Bool SAL_CALL supportsService(const OUString& name) override { return cppu::supportsService(this, name); }
  Sequence<OUString> SAL_CALL getSupportedServiceNames() override { return service_names(); }

 private:
  static std::string command_of(const css::util::URL& url) {
    const std::string complete = OUStringToOString(url.Complete, RTL_TEXTENCODING_UTF8).getStr();
    if (complete.rfind(kProtocol, 0) != 0) return {};
    std::string name = complete.substr(sizeof kProtocol - 1);
    return is_command(name) ? name : std::string();
  }

  Reference<css::uno::XComponentContext> context_;
  Reference<css::frame::XFrame> frame_;
};

Reference<css::uno::XInterface> SAL_CALL create_dispatcher(const Reference<css::uno::XComponentContext>& context) {
  return static_cast<cppu::OWeakObject*>(new Dispatcher(context));
}

}  // namespace
}  // namespace tibet::writer

extern "C" {

SAL_DLLPUBLIC_EXPORT void* SAL_CALL component_getFactory(const char* implementation, void*, void*) {
  if (implementation == nullptr || rtl::OUString::createFromAscii(implementation) != tibet::writer::kImplementation)
    return nullptr;
  const css::uno::Reference<css::lang::XSingleComponentFactory> factory = cppu::createSingleComponentFactory(
      tibet::writer::create_dispatcher, tibet::writer::kImplementation, tibet::writer::service_names());
  factory->acquire();
  return factory.get();
}

SAL_DLLPUBLIC_EXPORT void SAL_CALL component_getImplementationEnvironment(const char** environment,
                                                                          uno_Environment**) {
  *environment = CPPU_CURRENT_LANGUAGE_BINDING_NAME;
}

}
