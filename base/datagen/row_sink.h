#pragma once
// RowSink keeps the first failure of a run of inserts, so that a generator
// writes rows without testing each one and reports the failure at the end
// (the writer refuses everything after a failure anyway).

#include <initializer_list>

#include "base/datagen/site_writer.h"

namespace trelix::datagen {

class RowSink {
 public:
  explicit RowSink(SiteWriter& writer) : writer_(writer) {}

  void Add(TableId table, std::initializer_list<Cell> cells) {
    if (status_.ok()) status_ = writer_.Insert(table, cells);
  }
  bool ok() const { return status_.ok(); }
  const Status& status() const { return status_; }
  // The first failure, or the outcome of committing the site.
  Status Commit() { return status_.ok() ? writer_.Commit() : status_; }

 private:
  SiteWriter& writer_;
  Status status_;
};

}  // namespace trelix::datagen
