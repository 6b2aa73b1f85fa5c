// Status and option codes of the genetic-algorithm library.
//
// Every library operation that reports a status returns SUCCESS (0) or one of
// the negative codes below, grouped by class in decades. Codes returned by an
// inner call pass through unchanged. Option codes are positive, also grouped
// by decade.
#pragma once

#include "common/Status.h"

// Gene types.
inline constexpr int GENE_UNDEFINED = 10;  // the type of a fresh gene; holds nothing
inline constexpr int GENE_INTEGER = 11;    // signed 32-bit value, integer bounds
inline constexpr int GENE_REAL = 12;       // 32-bit float value, float bounds
inline constexpr int GENE_BINARY = 13;     // one byte, 0 or 1, drawn by a probability

// Gene and gene-definition statuses.
inline constexpr int GNE_BAD_TYPE = -10;      // type code outside 10..13
inline constexpr int GNE_BAD_RANGE = -11;     // maximum below minimum, probability outside 0..1
inline constexpr int GNE_NO_TYPE = -12;       // the gene is GENE_UNDEFINED
inline constexpr int GNE_NO_VALUE = -13;      // the gene holds no value
inline constexpr int GNE_WRONG_TYPE = -14;    // the operation is for another gene type
inline constexpr int GNE_NO_RANGE = -15;      // bounds or probability not set
inline constexpr int GNE_OUT_OF_RANGE = -16;  // value outside the bounds

// Chromosome-definition statuses.
inline constexpr int MCH_BAD_REMOVE_INDEX = -1;  // removal position outside 1..length
inline constexpr int MCH_NULL_GENE = -2;         // appending a null definition
inline constexpr int MCH_BAD_INDEX = -21;        // accessor position outside 1..length

// Chromosome statuses.
inline constexpr int CHM_BAD_INDEX = -31;     // position outside 1..length
inline constexpr int CHM_NULL_POINTER = -32;  // null gene or chromosome argument

// Individual statuses.
inline constexpr int IDV_NEGATIVE_FITNESS = -41;  // fitness below 0 (or NaN)

// Population statuses.
inline constexpr int POP_BAD_INDEX = -51;     // position outside 1..size
inline constexpr int POP_NULL_POINTER = -52;  // null individual or population argument
inline constexpr int POP_BAD_METHOD = -53;    // unknown normalisation method

// Selection and normalisation methods.
inline constexpr int SELECT_ROULETTE = 21;
inline constexpr int SELECT_TOURNAMENT = 22;
inline constexpr int NORMALISE_LINEAR = 31;
