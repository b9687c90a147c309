#!/usr/bin/perl
# Writes the hostile cases for the differential test against perl: loops
# nested over alternatives that can match the same text, loops ending in a
# tail that fails, back-references over long runs, repeated words before a
# missing character, and recursion over nested brackets; then, a third as
# many again, repetitions before a character every match must consume or
# end with, over subjects where that character is missing, too close to the
# start, or only at the wrong end.
# Usage: generate_hostile.pl SEED COUNT
# Same format as generate_cases.pl: flags TAB pattern TAB subject.
# Only the outermost loop captures: perl forgets what an inner group captured
# when an outer iteration repeats it zero times, where the engine keeps it
# (tested apart).
use strict;
use warnings;

my ($seed, $count) = @ARGV;
die "usage: $0 SEED COUNT\n" unless defined $count;
srand($seed);

sub pick { return $_[int(rand(@_))]; }

sub piece {
    return pick('a', 'a?', 'a*', 'a+', '.', '\\w', '[ab]', 'aa', 'a{1,3}', '(?=a)a', '(?>a+)',
                'a|a', 'a|aa', 'aa|a', 'a*|b', '\\w+\\s?', '.*a');
}

sub loop_body {
    my ($depth) = @_;
    my @alts = map { $depth > 0 && rand() < 0.5 ? loop($depth - 1, 0) : piece() } 1 .. 1 + int(rand(3));
    return join('|', @alts);
}

sub loop {
    my ($depth, $capture) = @_;
    my $open = $capture ? '(' : '(?:';
    # No {2,}: perl's own cache leaves loops with a minimum above one out, and
    # nested ones run for ever there.
    return $open . loop_body($depth) . ')' . pick('*', '+', '*', '+', '*?', '+?', '{1,}', '{0,}');
}

sub tail { return pick('b', '$', '!b', '(?=c)', 'x|b', 'b$', '\\z', '!c', ''); }

sub run_subject {
    my $n = 8 + int(rand(40));
    return pick(('a' x $n) . pick('!b', '', 'b', '!', 'c'), ('ab ' x int($n / 3)) . '!b');
}

sub bracket_subject {
    my @alphabet = ('(', '(', ')', ')', 'a', 'b', '<', '>', '[', ']');
    return join('', map { pick(@alphabet) } 1 .. int(rand(15)));
}

for (1 .. $count) {
    my $r = rand();
    my ($pattern, $subject);
    if ($r < 0.6) {
        $pattern = pick('', '', '^', '.', '\\w') . loop(int(rand(3)), rand() < 0.5) . tail();
        $subject = run_subject();
    } elsif ($r < 0.75) {
        # Back-references and leading repeats over long runs.
        $pattern = pick('(a*)\\1$', '(a+)\\1b', '(a*)\\1\\1$', '(\\w+)\\1!', '\\w+@', '[a-z]+\\d',
                        'a+?b', '\\s+$', '(?:a|b)+c', '\\w+\\s?@');
        my $n = 100 + int(rand(900));
        $subject = ('a' x $n) . pick('', '!@', 'b', '!a@', 'a1', ' ', 'c');
    } else {
        # Recursion that consumes before it recurses: its match is the same
        # whether or not the rest can backtrack into it.
        $pattern = pick('\\((?:[^()]|(?R))*\\)', '<(?:[^<>]|(?R))*>', '\\[(?:[^][]|(?R))*\\]',
                        '\\((?:[^()]+|(?R))*\\)', 'a(?:(?R)|)b', '\\((?:(?R))?\\)', '(\\((?:[^()]|(?R))*\\))',
                        '^(?:\\((?:(?R))*\\)|a)$', '(?:\\((?:(?R)|a)\\))+');
        $subject = $pattern =~ /^a/ ? ('a' x int(rand(6))) . ('b' x int(rand(6))) : bracket_subject();
    }
    print "-\t$pattern\t$subject\n";
}

# What the search refuses before it backtracks: the repetitions before a
# required character, in every case and flag, with the character missing,
# placed anywhere, or the subject ending otherwise than the pattern must.
sub required_subject {
    my $r = rand();
    my $n = 1 + int(rand(30));
    return ('a' x $n) . pick('!b', 'b', '', 'B', "~", "b~", 'X', 'aX', 'ab~~', '!a') if $r < 0.4;
    return pick('b', 'x', 'bX', 'Xb', '') . ('a' x $n) . pick('', 'X', 'a~', 'Xa') if $r < 0.6;
    return join('', map { pick('a', 'a', 'b', 'B', 'X', '!', 'c', '~', ' ') } 1 .. $n);
}

for (1 .. int($count / 3)) {
    my $pattern = pick('', '', '^', '.', '\\w', 'b', '.X')
        . pick('(a*)*', '(?:a|b)*', '.*', '\\w+', '(.+)+', '[ab]*', '(.*a){3}', '(?:a|ab)*?', '\\w*\\s?',
               '(?:a+|!)*', '(a|b|X)+', 'a{2,}', '(?=a)\\w*', '(?:(?>a+)|b)*', '[^X]*')
        . pick('b', 'X', 'ab', 'B', 'a$', 'b\\Z', 'a\\z', 'c$', '(?:b|cb)', 'b+', '(?:xb)+', 'X(.+)+X',
               '(?:ab|b)$', 'a{2}', '(b)\\z')
        . pick('', '', '$', '\\z', '\\Z', 'a', '.', '(?!a)');
    print pick('-', '-', 'i', 'g', 'm', 's', 'ig', 'mg'), "\t$pattern\t", required_subject(), "\n";
}
