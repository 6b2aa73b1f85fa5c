// The genetic-algorithm library from genes to populations: typed genes and
// gene definitions, chromosome definitions and chromosomes.
#pragma once

#include "Bramble/Chromosome.h"
#include "Bramble/Codes.h"
#include "Bramble/Gene.h"
#include "Bramble/MetaChrom.h"
#include "Bramble/MetaGene.h"
