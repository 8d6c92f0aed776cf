#include "record/results_writer.h"

#include "record/results_document.h"

namespace rover {

ResultsWriter::ResultsWriter(std::string path, const GameInfo& info) : file_(std::move(path)), info_(info) {
  info_.map.bytes.clear();  // only the digest is written
}

void ResultsWriter::gameEnded(const GameEnding& ending) {
  file_.commit(resultsDocument(info_, runs_, ending));
}

}  // namespace rover
