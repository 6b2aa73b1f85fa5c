// Differential test of the chromosome: the linked-list chromosome it
// replaced (every gene a list node carrying its own rules, every copy made
// gene by gene through Gene::Clone, crossover built from gene copies and
// segment chromosomes) is kept here as the reference, and both are driven
// side by side through long random sequences of every operation from the
// same generator state. After each step every gene (rules, value cell, value
// flag), every length and cursor position, each status and returned gene,
// and the number of draws consumed must be equal.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Bramble/Chromosome.h"
#include "Bramble/Codes.h"
#include "Bramble/IndexedList.h"
#include "Bramble/Individual.h"
#include "Bramble/MetaChrom.h"
#include "common/Random.h"

namespace {

// ---------------------------------------------------------------------------
// The reference: a doubly linked list of genes behind the indexed list.

struct RefNode {
  explicit RefNode(Gene g) : gene(g) {}
  Gene gene;
  std::unique_ptr<RefNode> next;
  RefNode* previous = nullptr;

  static constexpr const char* kListCurrentText = "PtrGneCurrent != 0";
  static constexpr const char* kListNextText = "PtrGneNext != 0";
  static constexpr const char* kListPreviousText = "PtrGnePrevious != 0";
  static constexpr const char* kListHeadText = "MbrPtrGneChromHead != 0";
  std::unique_ptr<RefNode>& ListNext() { return next; }
  RefNode*& ListPrevious() { return previous; }
};

class RefChromosome {
 public:
  explicit RefChromosome(int length = 0, MetaChrom* def = nullptr) {
    for (int i = 0; i < length; ++i)
      List().Append(std::make_unique<RefNode>(Gene()));
    if (def == nullptr) return;
    for (int i = 1; i <= length_; ++i) {
      Gene& gene = Locate(i)->gene;
      int type = 0;
      def->GetGeneType(i, type);
      gene.SetType(type);
      int imax = 0, imin = 0;
      float fmax = 0.0f, fmin = 0.0f;
      if (type == GENE_INTEGER && def->GetIntRange(i, imax, imin) == SUCCESS)
        gene.SetIntRange(imax, imin);
      if (type == GENE_REAL && def->GetRealRange(i, fmax, fmin) == SUCCESS)
        gene.SetRealRange(fmax, fmin);
      if (type == GENE_BINARY && def->GetProbability(i, fmax) == SUCCESS) gene.SetProbability(fmax);
    }
  }
  RefChromosome(const RefChromosome&) = delete;
  RefChromosome& operator=(const RefChromosome&) = delete;
  ~RefChromosome() { List().Clear(); }

  int Length() const { return length_; }
  int CursorPosition() const { return cursor_position_; }
  RefNode* Locate(int p) { return List().Locate(p); }
  // The genes in order, without moving the cursor.
  std::vector<Gene> Genes() const {
    std::vector<Gene> genes;
    for (const RefNode* n = head_.get(); n != nullptr; n = n->next.get())
      genes.push_back(n->gene);
    return genes;
  }
  // Whether copying genes first..last would stop on Gene::Clone's assertion.
  bool CopyWouldStop(int first, int last) const {
    int p = 1;
    for (const RefNode* n = head_.get(); n != nullptr; n = n->next.get(), ++p) {
      Gene copy;
      if (p >= first && p <= last && n->gene.CopyInto(copy) != SUCCESS) return true;
    }
    return false;
  }

  int DeleteGene(int p) {
    if (!Valid(p)) return CHM_BAD_INDEX;
    List().Detach(p);
    return SUCCESS;
  }
  std::unique_ptr<Gene> DetachGene(int p) {
    if (!Valid(p)) return nullptr;
    return std::make_unique<Gene>(List().Detach(p)->gene);
  }
  int AppendGene(std::unique_ptr<Gene>&& gene) {
    if (gene == nullptr) return CHM_NULL_POINTER;
    List().Append(std::make_unique<RefNode>(*gene));
    gene.reset();
    return SUCCESS;
  }
  int InsertGene(std::unique_ptr<Gene>&& gene, int p) {
    if (!Valid(p)) return CHM_BAD_INDEX;
    if (gene == nullptr) return CHM_NULL_POINTER;
    List().InsertBefore(std::make_unique<RefNode>(*gene), p);
    gene.reset();
    return SUCCESS;
  }
  int ReplaceGene(std::unique_ptr<Gene>&& gene, int p) {
    if (!Valid(p)) return CHM_BAD_INDEX;
    if (gene == nullptr) return CHM_NULL_POINTER;
    InsertGene(std::move(gene), p);
    DeleteGene(p + 1);
    return SUCCESS;
  }
  std::unique_ptr<Gene> CloneGene(int p) {
    RefNode* node = Locate(p);
    return node == nullptr ? nullptr : node->gene.Clone();
  }
  std::unique_ptr<RefChromosome> Clone() {
    auto copy = std::make_unique<RefChromosome>();
    for (int i = 1; i <= length_; ++i)
      copy->AppendGene(Locate(i)->gene.Clone());
    return copy;
  }
  int AppendCopies(RefChromosome* other) {
    if (other == nullptr) return CHM_NULL_POINTER;
    const int count = other->length_;
    for (int i = 1; i <= count; ++i)
      AppendGene(other->CloneGene(i));
    return SUCCESS;
  }
  int MoveFrom(RefChromosome* other) {
    if (other == nullptr) return CHM_NULL_POINTER;
    if (other == this) return SUCCESS;
    while (other->length_ > 0)
      AppendGene(other->DetachGene(1));
    return SUCCESS;
  }
  std::unique_ptr<RefChromosome> CopySegment(int first, int last) {
    if (first > length_ || last > length_ || last < first) return nullptr;
    auto segment = std::make_unique<RefChromosome>();
    for (int i = first; i <= last; ++i)
      segment->AppendGene(CloneGene(i));
    return segment;
  }
  std::unique_ptr<RefChromosome> CutSegment(int first, int last) {
    if (first > length_ || last > length_ || last < first) return nullptr;
    auto segment = std::make_unique<RefChromosome>();
    for (int i = first; i <= last; ++i)
      segment->AppendGene(DetachGene(first));
    return segment;
  }
  int RandomizeGene(int p) { return Valid(p) ? Locate(p)->gene.Randomize() : CHM_BAD_INDEX; }
  int Randomize() {
    for (int i = 1; i <= length_; ++i) {
      const int status = RandomizeGene(i);
      if (status != SUCCESS) return status;
    }
    return SUCCESS;
  }
  int Mutate(float rate) {
    const double threshold = std::trunc(static_cast<double>(rate) * 1000.0);
    int result = SUCCESS;
    for (int i = 1; i <= length_ && result == SUCCESS; ++i) {
      const int r = quill::Rand() % 1001;
      if (threshold >= r) result = RandomizeGene(i);
    }
    return result;
  }
  // A per-position gene operation: CHM_BAD_INDEX or the gene's status.
  template <class Op>
  int At(int p, Op op) {
    return Valid(p) ? op(Locate(p)->gene) : CHM_BAD_INDEX;
  }

 private:
  bool Valid(int p) const { return p >= 1 && p <= length_; }
  IndexedList<RefNode> List() { return {length_, head_, tail_, cursor_, cursor_position_}; }

  std::int32_t length_ = 0;
  std::unique_ptr<RefNode> head_;
  RefNode* tail_ = nullptr;
  RefNode* cursor_ = nullptr;
  std::int32_t cursor_position_ = 0;
};

// Crossover as it was: gene copies and segment chromosomes.
std::unique_ptr<RefChromosome> RefMate(RefChromosome& self, RefChromosome& mate, int points) {
  auto child = std::make_unique<RefChromosome>();
  RefChromosome* a = &self;
  RefChromosome* b = &mate;
  if (quill::Rand() % 1001 > 500) std::swap(a, b);
  const int length = self.Length();
  if (points == 1 && length >= 1) {
    const int cut = quill::Rand() % length + 1;
    for (int i = 1; i < cut; ++i)
      child->AppendGene(a->CloneGene(i));
    for (int i = cut; i <= length; ++i)
      child->AppendGene(b->CloneGene(i));
  } else if (points < 0 || points >= length - 1) {
    for (int i = 1; i <= length; ++i)
      child->AppendGene((quill::Rand() % 1001 <= 500 ? a : b)->CloneGene(i));
  } else {
    const int p = points;
    std::vector<int> bounds(static_cast<std::size_t>(p) + 2);
    bounds[0] = 1;
    bounds[p + 1] = length + 1;
    for (int j = 1; j <= p; ++j)
      bounds[j] = quill::Rand() % (length - p) + 1;
    for (int k = 0; k <= p; ++k) {
      for (int m = k + 1; m <= p; ++m) {
        if (bounds[k] > bounds[m]) std::swap(bounds[k], bounds[m]);
      }
    }
    for (int j = 1; j <= p; ++j)
      bounds[j] += j;
    for (int s = 0; s <= p; ++s) {
      RefChromosome& from = s % 2 == 0 ? *b : *a;
      auto segment = from.CopySegment(bounds[s], bounds[s + 1] - 1);
      child->MoveFrom(segment.get());
    }
  }
  return child;
}

// ---------------------------------------------------------------------------
// The driver.

int Pick(int n) {
  return quill::Rand() % n;
}

float AnyFloat() {
  static const float values[] = {-2.5f, -1.0f, -0.5f, 0.0f,   0.25f,  0.7f, 1.0f,
                                 2.0f,  3.5f,  1e30f, -1e30f, 1e-30f, NAN,  INFINITY};
  return values[Pick(static_cast<int>(sizeof(values) / sizeof(values[0])))];
}

int AnyInt() {
  return Pick(41) - 20;
}

// A standalone gene in any state the setters reach.
Gene AnyGene() {
  Gene gene;
  gene.SetType(GENE_UNDEFINED + Pick(4));
  if (Pick(4) > 0) {
    gene.SetIntRange(AnyInt() + 10, AnyInt() - 10);
    gene.SetRealRange(AnyFloat(), AnyFloat());
    gene.SetProbability(Pick(3) == 0 ? AnyFloat() : 0.5f);
  }
  if (Pick(3) > 0) {
    gene.SetIntValue(AnyInt());
    gene.SetRealValue(AnyFloat());
    gene.SetBinaryValue(static_cast<char>(Pick(3)));
  }
  if (Pick(8) == 0) gene.SetType(GENE_UNDEFINED + Pick(4));
  return gene;
}

std::string Describe(const Gene& g) {
  const gene_rules::BoundsValue b = g.Rules().BoundsValue();
  return "type " + std::to_string(b.type) + " range " + std::to_string(b.range_set) + " max " +
         std::to_string(b.maximum.Bits()) + " min " + std::to_string(b.minimum.Bits()) + " set " +
         std::to_string(g.ValueSet()) + " value " + std::to_string(g.Value().Bits());
}

bool Same(const Gene& a, const Gene& b) {
  return a.Rules() == b.Rules() && a.ValueSet() == b.ValueSet() && a.Value() == b.Value();
}

// Definitions of three shapes; every chromosome built from one of them
// shares its rules on the new side.
std::unique_ptr<MetaChrom> Definition(int kind) {
  const int length = kind == 3 ? 300 : kind == 2 ? 5 : 8;
  auto def = std::make_unique<MetaChrom>(length);
  for (int i = 1; i <= length; ++i) {
    const int type = kind == 1 || kind == 3 ? GENE_REAL : GENE_INTEGER + (i % 3);
    def->SetGeneType(i, type);
    def->SetIntRange(i, 10 + i, -i);
    def->SetRealRange(i, 1.0f + static_cast<float>(i), -2.0f);
    def->SetProbability(i, 0.1f * static_cast<float>(i % 10));
  }
  // A binary position that was an integer keeps its old minimum cell, which
  // the chromosomes built after it do not take over.
  if (kind == 0) {
    def->SetGeneType(1, GENE_INTEGER);
    def->SetIntRange(1, 1, -9);
    def->SetGeneType(1, GENE_BINARY);
  }
  return def;
}

struct Slot {
  std::unique_ptr<Individual> now;
  std::unique_ptr<RefChromosome> ref;
};

class Differential : public ::testing::Test {
 protected:
  static constexpr int kSlots = 5;

  void SetUp() override {
    for (int k = 0; k < 4; ++k) {
      defs_now_.push_back(Definition(k));
      defs_ref_.push_back(Definition(k));
    }
    for (int s = 0; s < kSlots; ++s) {
      slots_.emplace_back();
      Rebuild(s, s % 3);
    }
  }

  void Rebuild(int s, int kind) {
    slots_[s].now = std::make_unique<Individual>(defs_now_[kind]->Length(), defs_now_[kind].get());
    slots_[s].ref =
        std::make_unique<RefChromosome>(defs_ref_[kind]->Length(), defs_ref_[kind].get());
    EXPECT_EQ(defs_now_[kind]->CursorPosition(), defs_ref_[kind]->CursorPosition());
  }

  Chromosome& Now(int s) { return slots_[s].now->TheChromosome(); }
  RefChromosome& Ref(int s) { return *slots_[s].ref; }

  // Puts a chromosome made by an operation into slot `s`.
  void Store(int s, std::unique_ptr<Chromosome> now, std::unique_ptr<RefChromosome> ref) {
    ASSERT_EQ(now == nullptr, ref == nullptr);
    if (now == nullptr) return;
    Chromosome& target = Now(s);
    Chromosome discard;
    discard.MoveFrom(&target);
    target.MoveFrom(now.get());
    slots_[s].ref = std::move(ref);
  }

  // Runs `ref` and then `now` from the same generator state; both must take
  // the same number of draws.
  template <class R, class N>
  void Both(R ref, N now) {
    const std::uint32_t start = quill::RandState();
    ref();
    const std::uint32_t after = quill::RandState();
    quill::SetRandState(start);
    now();
    ASSERT_EQ(quill::RandState(), after) << "draws differ";
  }

  void ExpectSame(int step) {
    for (int s = 0; s < kSlots; ++s) {
      Chromosome& now = Now(s);
      RefChromosome& ref = Ref(s);
      ASSERT_EQ(now.Length(), ref.Length()) << "step " << step << " slot " << s;
      ASSERT_EQ(now.CursorPosition(), ref.CursorPosition()) << "step " << step << " slot " << s;
      const std::vector<Gene> genes = ref.Genes();
      const int cursor = now.CursorPosition();
      for (int p = 1; p <= now.Length(); ++p) {
        const Gene gene = now.Locate(p)->Get();
        ASSERT_TRUE(Same(gene, genes[p - 1]))
            << "step " << step << " slot " << s << " gene " << p << ": " << Describe(gene) << " / "
            << Describe(genes[p - 1]);
      }
      if (cursor > 0) now.Locate(cursor);
    }
  }

  void Step(int step);

  std::vector<std::unique_ptr<MetaChrom>> defs_now_, defs_ref_;
  std::vector<Slot> slots_;
  bool long_ = false;
  int ops_run_[32] = {};
};

void Differential::Step(int step) {
  const int s = Pick(kSlots);
  const int t = Pick(kSlots);
  Chromosome& now = Now(s);
  RefChromosome& ref = Ref(s);
  const int length = ref.Length();
  const int p = Pick(length + 3) - 1;  // -1 .. length + 1
  // Long chromosomes: the whole-chromosome operations and crossover only.
  static const int kLongOps[] = {10, 11, 16, 19, 20, 22, 23, 23};
  const int op = long_ ? kLongOps[Pick(8)] : Pick(24);
  int a = 0, b = 0;
  int ia = 0, ib = 0, ja = 0, jb = 0;
  float fa = 0.0f, fb = 0.0f, ga = 0.0f, gb = 0.0f;
  char ca = 0, cb = 0;
  switch (op) {
    case 0:  // Locate
      EXPECT_EQ(static_cast<bool>(now.Locate(p)), ref.Locate(p) != nullptr);
      break;
    case 1: {
      const int type = GENE_UNDEFINED - 1 + Pick(6);
      EXPECT_EQ(now.SetGeneType(p, type), ref.At(p, [&](Gene& g) { return g.SetType(type); }));
      break;
    }
    case 2: {
      const int maximum = AnyInt(), minimum = AnyInt();
      EXPECT_EQ(now.SetIntRange(p, maximum, minimum),
                ref.At(p, [&](Gene& g) { return g.SetIntRange(maximum, minimum); }));
      break;
    }
    case 3: {
      const float maximum = AnyFloat(), minimum = AnyFloat();
      EXPECT_EQ(now.SetRealRange(p, maximum, minimum),
                ref.At(p, [&](Gene& g) { return g.SetRealRange(maximum, minimum); }));
      break;
    }
    case 4: {
      const float probability = AnyFloat();
      EXPECT_EQ(now.SetProbability(p, probability),
                ref.At(p, [&](Gene& g) { return g.SetProbability(probability); }));
      break;
    }
    case 5:  // every getter
      EXPECT_EQ(now.GetGeneType(p, a), ref.At(p, [&](Gene& g) {
        b = g.Rules().Type();
        return SUCCESS;
      }));
      EXPECT_EQ(a, b);
      EXPECT_EQ(now.GetIntRange(p, ia, ja),
                ref.At(p, [&](Gene& g) { return g.GetIntRange(ib, jb); }));
      EXPECT_EQ(now.GetRealRange(p, fa, ga),
                ref.At(p, [&](Gene& g) { return g.GetRealRange(fb, gb); }));
      EXPECT_EQ(now.GetProbability(p, fa),
                ref.At(p, [&](Gene& g) { return g.GetProbability(fb); }));
      EXPECT_EQ(now.GetIntValue(p, ia), ref.At(p, [&](Gene& g) { return g.GetIntValue(ib); }));
      EXPECT_EQ(now.GetRealValue(p, fa), ref.At(p, [&](Gene& g) { return g.GetRealValue(fb); }));
      EXPECT_EQ(now.GetBinaryValue(p, ca),
                ref.At(p, [&](Gene& g) { return g.GetBinaryValue(cb); }));
      EXPECT_EQ(ia, ib);
      EXPECT_EQ(GeneCell::FromReal(fa), GeneCell::FromReal(fb));
      EXPECT_EQ(ca, cb);
      break;
    case 6: {
      const int value = AnyInt();
      EXPECT_EQ(now.SetIntValue(p, value),
                ref.At(p, [&](Gene& g) { return g.SetIntValue(value); }));
      break;
    }
    case 7: {
      const float value = AnyFloat();
      EXPECT_EQ(now.SetRealValue(p, value),
                ref.At(p, [&](Gene& g) { return g.SetRealValue(value); }));
      break;
    }
    case 8: {
      const char value = static_cast<char>(Pick(3) == 0 ? 7 : Pick(2));
      EXPECT_EQ(now.SetBinaryValue(p, value),
                ref.At(p, [&](Gene& g) { return g.SetBinaryValue(value); }));
      break;
    }
    case 9:
      Both([&] { a = ref.RandomizeGene(p); }, [&] { b = now.RandomizeGene(p); });
      EXPECT_EQ(a, b);
      break;
    case 10:
      Both([&] { a = ref.Randomize(); }, [&] { b = now.Randomize(); });
      EXPECT_EQ(a, b);
      break;
    case 11: {
      static const float rates[] = {-0.002f, -0.0005f, 0.0f, 0.05f, 0.5f, 0.7f, 1.0f, 3.0f};
      const float rate = rates[Pick(8)];
      Both([&] { a = ref.Mutate(rate); }, [&] { b = now.Mutate(rate); });
      EXPECT_EQ(a, b);
      break;
    }
    case 12:
      EXPECT_EQ(now.DeleteGene(p), ref.DeleteGene(p));
      break;
    case 13: {  // detach, then append or insert it elsewhere
      std::unique_ptr<Gene> gn = now.DetachGene(p);
      std::unique_ptr<Gene> gr = ref.DetachGene(p);
      ASSERT_EQ(gn == nullptr, gr == nullptr);
      if (gn == nullptr) break;
      ASSERT_TRUE(Same(*gn, *gr));
      const int q = Pick(Ref(t).Length() + 2);
      if (q == 0) {
        EXPECT_EQ(Now(t).AppendGene(std::move(gn)), Ref(t).AppendGene(std::move(gr)));
      } else {
        EXPECT_EQ(Now(t).InsertGene(std::move(gn), q), Ref(t).InsertGene(std::move(gr), q));
      }
      break;
    }
    case 14: {  // a standalone gene in: append, insert or replace
      const Gene gene = AnyGene();
      const int how = Pick(4);
      auto gn = how == 3 ? nullptr : std::make_unique<Gene>(gene);
      auto gr = how == 3 ? nullptr : std::make_unique<Gene>(gene);
      if (how == 0 || how == 3) {
        EXPECT_EQ(now.AppendGene(std::move(gn)), ref.AppendGene(std::move(gr)));
      } else if (how == 1) {
        EXPECT_EQ(now.InsertGene(std::move(gn), p), ref.InsertGene(std::move(gr), p));
      } else {
        EXPECT_EQ(now.ReplaceGene(std::move(gn), p), ref.ReplaceGene(std::move(gr), p));
      }
      break;
    }
    case 15: {
      if (ref.CopyWouldStop(p, p)) return;
      std::unique_ptr<Gene> gn = now.CloneGene(p);
      std::unique_ptr<Gene> gr = ref.CloneGene(p);
      ASSERT_EQ(gn == nullptr, gr == nullptr);
      if (gn != nullptr) {
        EXPECT_TRUE(Same(*gn, *gr));
      }
      break;
    }
    case 16:
      if (ref.CopyWouldStop(1, length)) return;
      Store(t, now.Clone(), ref.Clone());
      break;
    case 17:
      if (Ref(t).CopyWouldStop(1, Ref(t).Length())) return;
      EXPECT_EQ(now.AppendCopies(&Now(t)), ref.AppendCopies(&Ref(t)));
      break;
    case 18: {
      const bool none = Pick(10) == 0;
      EXPECT_EQ(now.MoveFrom(none ? nullptr : &Now(t)), ref.MoveFrom(none ? nullptr : &Ref(t)));
      break;
    }
    case 19:
    case 20: {
      const int first = Pick(length + 1) + 1;
      const int last = first + Pick(length + 1) - 1;
      if (op == 19) {
        if (ref.CopyWouldStop(first, last)) return;
        Store(t, now.CopySegment(first, last), ref.CopySegment(first, last));
      } else {
        Store(t, now.CutSegment(first, last), ref.CutSegment(first, last));
      }
      break;
    }
    case 21:
      Rebuild(s, long_ ? 3 : Pick(3));
      break;
    default: {  // Mate, of every kind of crossover
      if (Ref(t).Length() != length || ref.CopyWouldStop(1, length) ||
          Ref(t).CopyWouldStop(1, length))
        return;
      static const int kinds[] = {1, 1, 0, 2, 3, 5, 6, 7, -1, 100};
      const int points = kinds[Pick(10)];
      slots_[s].now->SetIdentifier(10 + s);
      slots_[t].now->SetIdentifier(10 + t);
      std::unique_ptr<Individual> child;
      std::unique_ptr<RefChromosome> ref_child;
      Both([&] { ref_child = RefMate(ref, Ref(t), points); },
           [&] { child = slots_[s].now->Mate(slots_[t].now.get(), points); });
      EXPECT_EQ(child->ParentOne(), 10 + s);
      EXPECT_EQ(child->ParentTwo(), 10 + t);
      const int target = Pick(kSlots);
      slots_[target].now = std::move(child);
      slots_[target].ref = std::move(ref_child);
      break;
    }
  }
  ++ops_run_[op];
  ExpectSame(step);
}

TEST_F(Differential, RandomOperationSequencesMatchTheLinkedListChromosome) {
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    quill::SeedRand(seed * 7919u);
    for (int s = 0; s < kSlots; ++s)
      Rebuild(s, Pick(3));
    for (int step = 0; step < 1500; ++step) {
      Step(step);
      if (HasFatalFailure() || HasFailure()) {
        FAIL() << "seed " << seed << " step " << step;
      }
    }
  }
  // Every operation ran many times.
  for (int op = 0; op < 24; ++op)
    EXPECT_GT(ops_run_[op], 100) << op;
}

// Chromosomes of 300 real genes built after one definition: crossover
// segments span many value words and keep sharing the definition's rules.
TEST_F(Differential, LongChromosomesBreedAsTheLinkedListChromosome) {
  long_ = true;
  for (std::uint32_t seed = 1; seed <= 10; ++seed) {
    quill::SeedRand(seed * 104729u);
    for (int s = 0; s < kSlots; ++s) {
      Rebuild(s, 3);
      Both([&] { Ref(s).Randomize(); }, [&] { Now(s).Randomize(); });
    }
    for (int step = 0; step < 300; ++step) {
      Step(step);
      if (HasFailure()) FAIL() << "seed " << seed << " step " << step;
    }
  }
  EXPECT_GT(ops_run_[23], 200);
}

}  // namespace
