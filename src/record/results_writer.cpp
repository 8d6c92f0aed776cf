#include "record/results_writer.h"

#include "record/results_document.h"

namespace rover {

ResultsWriter::ResultsWriter(OutputFile& file, const GameInfo& info) : file_(file), info_(info) {
  info_.map.bytes.clear();  // only the digest is written
}

void ResultsWriter::gameEnded(const GameEnding& ending) {
  file_.replaceWith(resultsDocument(info_, runs_, ending));
}

}  // namespace rover
