// The call trace with a Python callable as sink.
//
// The model keeps a plain pointer to its sink and does not own it. The
// sinks made here are kept in a registry beside a weak pointer to their
// model: a sink lives while it is attached, and is freed when it is
// replaced, detached, or found beside a model that has gone. At exit the
// live models are detached before the sinks are freed.
#include "analysis_model/trace.hpp"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <boost/weak_ptr.hpp>
#include <map>
#include <memory>

#include "analysis_model/xaf_model.hpp"
#include "bindings.hpp"
#include "holders.hpp"

namespace Kestrum::Quilm::Python {

using namespace AnalysisModel;

namespace {

// Calls a Python callable with each event. An exception from the callable
// makes the traced operation fail before it has any effect.
class CallableSink : public TraceSink {
 public:
  explicit CallableSink(py::object callable) : callable_(std::move(callable)) {}
  ~CallableSink() override {
    py::gil_scoped_acquire gil;
    callable_ = py::object();
  }
  void OnCall(const TraceEvent& event) override {
    py::gil_scoped_acquire gil;
    callable_(event);
  }
  const py::object& Callable() const noexcept { return callable_; }

 private:
  py::object callable_;
};

struct Attachment {
  boost::weak_ptr<XafModel> model;
  std::unique_ptr<CallableSink> sink;
};

std::map<const XafModel*, Attachment>& Registry() {
  static auto* registry = new std::map<const XafModel*, Attachment>;  // emptied at exit, never destroyed
  return *registry;
}

// Frees the sinks of models that have gone.
void Purge() {
  auto& registry = Registry();
  for (auto it = registry.begin(); it != registry.end();)
    it = it->second.model.expired() ? registry.erase(it) : std::next(it);
}

void SetSink(const boost::shared_ptr<XafModel>& model, const py::object& callable) {
  Purge();
  auto& registry = Registry();
  if (callable.is_none()) {
    model->SetTraceSink(nullptr);
    registry.erase(model.get());
    return;
  }
  if (!PyCallable_Check(callable.ptr())) throw py::type_error("the trace sink must be callable or None");
  auto sink = std::make_unique<CallableSink>(callable);
  model->SetTraceSink(sink.get());
  registry[model.get()] = Attachment{model, std::move(sink)};  // frees the sink it replaces
}

py::object GetSink(const XafModel& model) {
  auto it = Registry().find(&model);
  if (it == Registry().end() || model.GetTraceSink() != it->second.sink.get()) return py::none();
  return it->second.sink->Callable();
}

void DetachAll() {
  for (auto& [address, attachment] : Registry())
    if (auto model = attachment.model.lock()) model->SetTraceSink(nullptr);
  Registry().clear();
}

}  // namespace

void BindTrace(py::module_& m) {
  py::class_<TraceEvent>(m, "TraceEvent",
                         "One traced call: the operation as 'Manager.Operation' and its arguments as text.")
      .def_readonly("operation", &TraceEvent::operation)
      .def_readonly("arguments", &TraceEvent::arguments)
      .def("ToString", &TraceEvent::ToString)
      .def("__str__", &TraceEvent::ToString)
      .def("__repr__", [](const TraceEvent& e) { return "<TraceEvent " + e.ToString() + ">"; });

  auto model = py::reinterpret_borrow<py::class_<XafModel, boost::shared_ptr<XafModel>>>(m.attr("XafModel"));
  model
      .def("SetTraceSink", &SetSink, py::arg("sink"),
           "Calls sink(event) with a TraceEvent before every operation of the model, reads included; "
           "None detaches. An exception raised by the sink makes that operation fail before it has any "
           "effect. Bulk table reads (node_coordinates, ...) report one event per row they read.")
      .def("GetTraceSink", &GetSink, "The callable attached by SetTraceSink, or None.");

  py::module_::import("atexit").attr("register")(py::cpp_function(&DetachAll));
}

}  // namespace Kestrum::Quilm::Python
