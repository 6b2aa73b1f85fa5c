#include "Bramble/Chromosome.h"

#include <cmath>

#include "Bramble/Codes.h"
#include "Bramble/MetaChrom.h"
#include "common/Assert.h"
#include "common/Random.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";
}

Chromosome::Chromosome(std::int32_t length, MetaChrom* definition) {
  for (std::int32_t i = 0; i < length; ++i)
    List().Append(std::make_unique<Gene>());
  if (definition == nullptr) return;
  const std::int32_t NdxDefLength = definition->Length();
  QUILL_ASSERT(NdxDefLength == MbrNdxLength);
  for (std::int32_t i = 1; i <= MbrNdxLength; ++i) {
    Gene* PtrGneCurrent = Locate(i);
    QUILL_ASSERT(PtrGneCurrent != 0);
    int type = GENE_UNDEFINED;
    int IntReturn = definition->GetGeneType(i, type);
    QUILL_ASSERT(IntReturn == SUCCESS);
    IntReturn = PtrGneCurrent->SetType(type);
    QUILL_ASSERT(IntReturn == SUCCESS);
    switch (type) {
      case GENE_INTEGER: {
        std::int32_t maximum = 0;
        std::int32_t minimum = 0;
        IntReturn = definition->GetIntRange(i, maximum, minimum);
        QUILL_ASSERT(IntReturn == SUCCESS);
        IntReturn = PtrGneCurrent->SetIntRange(maximum, minimum);
        QUILL_ASSERT(IntReturn == SUCCESS);
        break;
      }
      case GENE_REAL: {
        float maximum = 0.0f;
        float minimum = 0.0f;
        IntReturn = definition->GetRealRange(i, maximum, minimum);
        QUILL_ASSERT(IntReturn == SUCCESS);
        IntReturn = PtrGneCurrent->SetRealRange(maximum, minimum);
        QUILL_ASSERT(IntReturn == SUCCESS);
        break;
      }
      case GENE_BINARY: {
        float probability = 0.0f;
        IntReturn = definition->GetProbability(i, probability);
        QUILL_ASSERT(IntReturn == SUCCESS);
        IntReturn = PtrGneCurrent->SetProbability(probability);
        QUILL_ASSERT(IntReturn == SUCCESS);
        break;
      }
      default:
        break;
    }
  }
}

Chromosome::~Chromosome() {
  for (std::int32_t i = MbrNdxLength; i > 0; --i) {
    int IntReturn = DeleteGene(1);
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
}

Gene* Chromosome::Locate(std::int32_t position) {
  return List().Locate(position);
}

Gene* Chromosome::TheGene(std::int32_t position) {
  Gene* PtrGneTheGene = Locate(position);
  QUILL_ASSERT(PtrGneTheGene != 0);
  return PtrGneTheGene;
}

int Chromosome::DeleteGene(std::int32_t position) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  List().Detach(position);
  return SUCCESS;
}

std::unique_ptr<Gene> Chromosome::DetachGene(std::int32_t position) {
  if (!Valid(position)) return nullptr;
  return List().Detach(position);
}

int Chromosome::AppendGene(std::unique_ptr<Gene>&& gene) {
  if (gene == nullptr) return CHM_NULL_POINTER;
  List().Append(std::move(gene));
  return SUCCESS;
}

int Chromosome::InsertGene(std::unique_ptr<Gene>&& gene, std::int32_t position) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  if (gene == nullptr) return CHM_NULL_POINTER;
  List().InsertBefore(std::move(gene), position);
  return SUCCESS;
}

int Chromosome::ReplaceGene(std::unique_ptr<Gene>&& gene, std::int32_t position) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  if (gene == nullptr) return CHM_NULL_POINTER;
  int IntErrorCode = InsertGene(std::move(gene), position);
  QUILL_ASSERT(IntErrorCode == SUCCESS);
  IntErrorCode = DeleteGene(position + 1);
  QUILL_ASSERT(IntErrorCode == SUCCESS);
  return SUCCESS;
}

std::unique_ptr<Gene> Chromosome::CloneGene(std::int32_t position) {
  Gene* gene = Locate(position);
  if (gene == nullptr) return nullptr;
  return gene->Clone();
}

std::unique_ptr<Chromosome> Chromosome::Clone() {
  auto PtrChmClone = std::make_unique<Chromosome>(0, nullptr);
  QUILL_ASSERT(PtrChmClone != 0);
  for (std::int32_t i = 1; i <= MbrNdxLength; ++i) {
    Gene* PtrGneCurrent = Locate(i);
    QUILL_ASSERT(PtrGneCurrent != 0);
    std::unique_ptr<Gene> PtrGneClone = PtrGneCurrent->Clone();
    QUILL_ASSERT(PtrGneClone != 0);
    int IntReturn = PtrChmClone->AppendGene(std::move(PtrGneClone));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return PtrChmClone;
}

int Chromosome::AppendCopies(Chromosome* other) {
  if (other == nullptr) return CHM_NULL_POINTER;
  // The count is read once: appending a chromosome to itself copies it once.
  const std::int32_t count = other->MbrNdxLength;
  for (std::int32_t i = 1; i <= count; ++i) {
    std::unique_ptr<Gene> PtrGneClone = other->CloneGene(i);
    QUILL_ASSERT(PtrGneClone != 0);
    int IntReturn = AppendGene(std::move(PtrGneClone));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return SUCCESS;
}

int Chromosome::MoveFrom(Chromosome* other) {
  if (other == nullptr) return CHM_NULL_POINTER;
  // Moving a chromosome into itself would never end; it already holds its genes.
  if (other == this) return SUCCESS;
  while (other->MbrNdxLength > 0) {
    std::unique_ptr<Gene> PtrGneTheGene = other->DetachGene(1);
    QUILL_ASSERT(PtrGneTheGene != 0);
    int IntReturn = AppendGene(std::move(PtrGneTheGene));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return SUCCESS;
}

std::unique_ptr<Chromosome> Chromosome::CopySegment(std::int32_t first, std::int32_t last) {
  if (first > MbrNdxLength || last > MbrNdxLength || last < first) return nullptr;
  auto PtrChmNewChrom = std::make_unique<Chromosome>(0, nullptr);
  QUILL_ASSERT(PtrChmNewChrom != 0);
  for (std::int32_t i = first; i <= last; ++i) {
    std::unique_ptr<Gene> PtrGneClone = CloneGene(i);
    QUILL_ASSERT(PtrGneClone != 0);
    int IntReturn = PtrChmNewChrom->AppendGene(std::move(PtrGneClone));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return PtrChmNewChrom;
}

std::unique_ptr<Chromosome> Chromosome::CutSegment(std::int32_t first, std::int32_t last) {
  if (first > MbrNdxLength || last > MbrNdxLength || last < first) return nullptr;
  auto PtrChmNewChrom = std::make_unique<Chromosome>(0, nullptr);
  QUILL_ASSERT(PtrChmNewChrom != 0);
  for (std::int32_t i = first; i <= last; ++i) {
    std::unique_ptr<Gene> PtrGneTheGene = DetachGene(first);
    QUILL_ASSERT(PtrGneTheGene != 0);
    int IntReturn = PtrChmNewChrom->AppendGene(std::move(PtrGneTheGene));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return PtrChmNewChrom;
}

int Chromosome::RandomizeGene(std::int32_t position) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->Randomize();
}

int Chromosome::Randomize() {
  for (std::int32_t i = 1; i <= MbrNdxLength; ++i) {
    int status = RandomizeGene(i);
    if (status != SUCCESS) return status;
  }
  return SUCCESS;
}

int Chromosome::Mutate(float rate) {
  // Taken in double and truncated without rounding to float first; compared
  // as a double so that huge rates cannot overflow an integer.
  const double threshold = std::trunc(static_cast<double>(rate) * 1000.0);
  int result = SUCCESS;
  for (std::int32_t i = 1; i <= MbrNdxLength && result == SUCCESS; ++i) {
    const int r = quill::Rand() % 1001;
    if (threshold >= r) result = RandomizeGene(i);
  }
  return result;
}

int Chromosome::SetGeneType(std::int32_t position, int type) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->SetType(type);
}

int Chromosome::GetGeneType(std::int32_t position, int& type) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  type = TheGene(position)->MbrIntGeneType;
  return SUCCESS;
}

int Chromosome::SetIntRange(std::int32_t position, std::int32_t maximum, std::int32_t minimum) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->SetIntRange(maximum, minimum);
}

int Chromosome::SetRealRange(std::int32_t position, float maximum, float minimum) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->SetRealRange(maximum, minimum);
}

int Chromosome::SetProbability(std::int32_t position, float probability) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->SetProbability(probability);
}

int Chromosome::GetIntRange(std::int32_t position, std::int32_t& maximum, std::int32_t& minimum) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->GetIntRange(maximum, minimum);
}

int Chromosome::GetRealRange(std::int32_t position, float& maximum, float& minimum) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->GetRealRange(maximum, minimum);
}

int Chromosome::GetProbability(std::int32_t position, float& probability) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->GetProbability(probability);
}

int Chromosome::GetIntValue(std::int32_t position, std::int32_t& value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->GetIntValue(value);
}

int Chromosome::GetRealValue(std::int32_t position, float& value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->GetRealValue(value);
}

int Chromosome::GetBinaryValue(std::int32_t position, char& value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->GetBinaryValue(value);
}

int Chromosome::SetIntValue(std::int32_t position, std::int32_t value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->SetIntValue(value);
}

int Chromosome::SetRealValue(std::int32_t position, float value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->SetRealValue(value);
}

int Chromosome::SetBinaryValue(std::int32_t position, char value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  return TheGene(position)->SetBinaryValue(value);
}
