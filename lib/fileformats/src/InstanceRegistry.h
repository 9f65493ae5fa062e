#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "FileFormatsApi.h"
#include "PdfInstance.h"

namespace fileformats {

// The instances of the process by id. A call holds its instance through a shared pointer, so
// releasing an id while another thread is inside a call on it frees the instance only when that
// call returns.
class InstanceRegistry {
 public:
  static InstanceRegistry& Get();

  // A new id (> 0), or 0 when the ids are used up.
  DplInstance Create();
  void Release(DplInstance id);
  // nullptr for an unknown id.
  std::shared_ptr<PdfInstance> Find(DplInstance id);

 private:
  std::mutex mutex_;
  std::map<DplInstance, std::shared_ptr<PdfInstance>> instances_;
  DplInstance nextId_ = 1;
};

}  // namespace fileformats
