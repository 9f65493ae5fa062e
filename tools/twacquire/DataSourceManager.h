#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Module.h"
#include "twain/twain.h"

namespace twacquire {

// The loaded data source manager library and its entry point.
class DataSourceManager {
 public:
  // The library at `explicitPath` when one is given; else the installed
  // libtwaindsm.so.2 found through the normal library search; else
  // `fallbackPath` (the test manager of the build tree). nullopt with `error`
  // filled when none loads.
  static std::optional<DataSourceManager> Load(const std::string& explicitPath, const std::string& fallbackPath,
                                               std::string& error);

  TW_UINT16 Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                  TW_MEMREF data) const {
    return entry_(origin, destination, dg, dat, msg, data);
  }

  const std::string& Description() const { return description_; }

  // The test manager offers the one source file it is told; the installed
  // manager offers what is installed under /usr/local/lib/twain.
  bool AcceptsSourceFile() const;
  // Does nothing unless AcceptsSourceFile().
  void OfferSourceFile(const std::string& path) const;

 private:
  DataSourceManager(platform::Module module, DSMENTRYPROC entry, std::string description);

  std::shared_ptr<platform::Module> module_;  // shared: the manager stays loaded while any copy lives
  DSMENTRYPROC entry_;
  std::string description_;
};

}  // namespace twacquire
