/* The output rates the program offers, in frames a second, lowest first: written once. The
   engine (kOutputRates), the resource script's Frequency items and the browser page read them
   here. Plain preprocessor lines only: the resource compiler reads this file too. */
#pragma once

#define MIXORAMA_OUTPUT_RATE_1 11025
#define MIXORAMA_OUTPUT_RATE_2 22050
#define MIXORAMA_OUTPUT_RATE_3 44100

/* A number as the text of its digits, for the resource script's captions. */
#define MIXORAMA_TEXT_OF(number) MIXORAMA_TEXT_OF_DIGITS(number)
#define MIXORAMA_TEXT_OF_DIGITS(number) #number
