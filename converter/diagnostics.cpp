#include "diagnostics.h"

#include <cstring>

namespace {

DiagnosticSink sink = nullptr;

}  // namespace

void set_diagnostic_sink(DiagnosticSink s) {
  sink = s;
}

DiagnosticSink current_diagnostic_sink() {
  return sink;
}

void report_reason(const char* path, int saved_errno) {
  if (!sink || saved_errno == 0) return;
  sink(Diagnostic{Diagnostic::Kind::reason, path, 0, 0, std::strerror(saved_errno)});
}
