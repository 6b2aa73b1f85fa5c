// The visitor that writes a weight list.
//
// Applied to a connections object with the mask for existing connections, it
// writes one weight-list entry per visited connection, on a line of its own:
// "[From=f To=t Weight=w ]", the weight with `precision` decimals and, when
// trainability is written, the word Trainable or UnTrainable before the "]".
#pragma once

#include <iosfwd>

#include "NeuralNets/TIterateObj.h"

class FileTools;

class TIterateObjSaveWeights : public TIterateObj {
 public:
  TIterateObjSaveWeights(std::ostream& out, const FileTools& tools, bool trainability, int decimals)
      : stream(out), filer(tools), writeTrainable(trainability), precision(decimals) {}

  void Visit() override;

  std::ostream& stream;
  const FileTools& filer;  // the tag writer
  bool writeTrainable;
  int precision;
};
