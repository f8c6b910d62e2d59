// The plug-in loader: plug-in libraries hook init callers into a Loader at load time (static
// initialisation); the agent later initialises every recorded plug-in for a context.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

#include "pelix/String.h"

namespace Plugin {

// Type-erased init caller that the loader records for a plug-in.
class LoaderInitCaller {
 public:
  virtual void operator()() = 0;

 protected:
  ~LoaderInitCaller() = default;
};

template <class Context>
class PluginInitCaller {
 public:
  virtual void operator()(Context* context) = 0;

 protected:
  ~PluginInitCaller() = default;
};

namespace Impl {

struct LoaderImpl {
  // Records a plug-in under its name. The caller stays owned by the loader's list.
  static void registerPlugin(Pelix::String const& loaderText1, Pelix::String const& pluginName,
                             Pelix::String const& loaderText2, Pelix::String const& text3,
                             Pelix::String const& text4, LoaderInitCaller* caller);
  // Number of plug-ins recorded so far in the process.
  static std::size_t pluginCount();
  // Calls every recorded plug-in's caller, in the order of recording. A plug-in recorded
  // while this runs is called too.
  static void initAll();
  // Names of the recorded plug-ins, in the order of recording.
  static std::vector<Pelix::String> pluginNames();
};

// Storage for list nodes: returns memory for one node (never null; raises std::bad_alloc).
void* nodeAlloc(std::size_t size);
void nodeFree(void* p, std::size_t size) noexcept;

}  // namespace Impl

template <class Context>
class Loader {
 public:
  // The loader's record of one plug-in's init caller.
  class LoaderInitCallerWithContext : public LoaderInitCaller {
   public:
    LoaderInitCallerWithContext(Loader* loader, PluginInitCaller<Context>* caller) noexcept
        : loader_(loader), caller_(caller) {}
    void operator()() override { (*caller_)(loader_->context()); }
    Loader* loader() const noexcept { return loader_; }
    PluginInitCaller<Context>* caller() const noexcept { return caller_; }

   private:
    Loader* loader_;
    PluginInitCaller<Context>* caller_;
  };

  // A node of the loader's singly linked list: the next pointer, then the payload.
  struct ListNode {
    ListNode* next;
    LoaderInitCallerWithContext payload;
  };

  Loader(Pelix::String text1, Pelix::String text2)
      : text1_(std::move(text1)), text2_(std::move(text2)) {}
  // The nodes hold code of plug-ins that may already be unloaded at exit: only their storage
  // is released, nothing in them is called.
  ~Loader() {
    while (ListNode* n = head_) {
      head_ = n->next;
      Impl::nodeFree(n, sizeof(ListNode));
    }
  }
  Loader(Loader const&) = delete;
  Loader& operator=(Loader const&) = delete;

  Context* context() const noexcept { return context_; }
  Pelix::String const& text1() const noexcept { return text1_; }
  Pelix::String const& text2() const noexcept { return text2_; }

  ListNode* front() const noexcept { return head_; }
  std::size_t size() const noexcept {
    std::size_t n = 0;
    for (ListNode* p = head_; p; p = p->next) ++n;
    return n;
  }
  // Takes ownership of a node allocated with Impl::nodeAlloc.
  void pushFront(ListNode* node) noexcept {
    node->next = head_;
    head_ = node;
  }

  // Calls every recorded plug-in's init caller with this context, in the order in which the
  // plug-ins were recorded (load order).
  void initPlugins(Context* context) {
    Context* const previous = context_;
    context_ = context;
    try {
      Impl::LoaderImpl::initAll();
    } catch (...) {
      context_ = previous;
      throw;
    }
    context_ = previous;
  }

 private:
  Pelix::String text1_;
  Pelix::String text2_;
  Context* context_ = nullptr;
  ListNode* head_ = nullptr;
};

// Base of every registration object.
template <class Context>
class PluginBase {
 public:
  class PluginBaseInitCaller : public PluginInitCaller<Context> {
   public:
    explicit PluginBaseInitCaller(PluginBase* owner) noexcept : owner_(owner) {}
    void operator()(Context* context) override { owner_->init(context); }

   private:
    PluginBase* owner_;
  };

  PluginBase() noexcept : initCaller_(this) {}
  virtual ~PluginBase() = default;
  virtual void init(Context* context) = 0;

  PluginBaseInitCaller* initCaller() noexcept { return &initCaller_; }

 private:
  PluginBaseInitCaller initCaller_;
};

}  // namespace Plugin
