#include "captioning/CaptionText.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char *input;
    const char *expected;
};

class CleanTest : public ::testing::TestWithParam<Case> {};

TEST_P(CleanTest, Cleans)
{
    EXPECT_EQ(sv::clean(QString::fromUtf8(GetParam().input)), QString::fromUtf8(GetParam().expected))
        << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(Table, CleanTest,
                         ::testing::Values(
                             // Nothing worth showing.
                             Case{"[Music]", ""}, Case{"(laughs)", ""}, Case{"♪ ♫", ""}, Case{" \n\t ", ""},
                             Case{"", ""},
                             // Spans and line breaks between words leave exactly one blank.
                             Case{"hello [noise] world", "hello world"}, Case{"hello (cough) world", "hello world"},
                             Case{"hello\nworld", "hello world"},
                             // Unicode whitespace: no-break, ideographic, line separator.
                             Case{"hello\u00A0\u3000world\u2028again", "hello world again"},
                             // The first closing bracket ends a nested span.
                             Case{"a [b [c] d] e", "a d] e"}, Case{"x (y (z) w) v", "x w) v"},
                             // Unclosed brackets stay, with what follows.
                             Case{"wait [for it", "wait [for it"}, Case{"so (then", "so (then"},
                             // Filler words alone, any case and spacing.
                             Case{"Um  uh   THE", ""}, Case{"yeah okay hmm oh", ""},
                             // With punctuation they are kept, blanks normalised.
                             Case{"Um,  uh", "Um, uh"}, Case{"okay.", "okay."},
                             // A single non-filler word, case kept.
                             Case{"Supercalifragilistic", "Supercalifragilistic"},
                             Case{"  Hello World  ", "Hello World"}));

} // namespace
