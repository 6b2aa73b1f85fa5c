// The genetic-algorithm library from genes to populations: typed genes and
// gene definitions, chromosome definitions, chromosomes, individuals with
// crossover, and populations with statistics, selection and breeding.
#pragma once

#include "Bramble/Chromosome.h"
#include "Bramble/Codes.h"
#include "Bramble/Gene.h"
#include "Bramble/Individual.h"
#include "Bramble/MetaChrom.h"
#include "Bramble/MetaGene.h"
#include "Bramble/Population.h"
