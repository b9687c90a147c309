#!/usr/bin/perl
# Writes random matching cases for the differential test against perl.
# Usage: generate_cases.pl SEED COUNT
# One case per line: flags TAB pattern TAB subject, newline in a subject as '~'.
# The grammar keeps to constructs whose meaning the engine shares with perl:
# no literal braces, no octal escapes, no nested quantifiers, no quantified
# assertions, back-references only to groups already closed and never
# followed by a digit, ASCII subjects.
use strict;
use warnings;

my ($seed, $count) = @ARGV;
die "usage: $0 SEED COUNT\n" unless defined $count;
srand($seed);

my $closed;    # groups closed so far in the pattern being built
my $opened;    # capturing groups opened so far
my $repeated;  # the case runs as a repeated (/g) match

sub pick { return $_[int(rand(@_))]; }

sub quantifier {
    my $r = rand();
    return '' if $r < 0.55;
    return pick('*', '+', '?', '*?', '+?', '??', '{2}', '{1,}', '{0,2}', '{1,3}', '{2,3}?');
}

sub can_be_empty { my ($q) = @_; return $q =~ /^[*?]|^\{0/ ? 1 : 0; }

sub class_item {
    my ($negated) = @_;
    # A negated class stays with characters and ranges: perl 5.36 panics on a
    # quantified class that can match nothing, such as [^\w[:^lower:]]*.
    my $r = $negated ? rand(0.7) : rand();
    return pick('a', 'b', 'c', 'A', '1', ' ', '_') if $r < 0.45;
    return pick('a-c', 'A-C', '0-9', 'b-z') if $r < 0.7;
    return pick('\d', '\w', '\s', '\W', '[:alpha:]', '[:digit:]', '[:upper:]', '[:^lower:]');
}

sub char_class {
    my $s = '[';
    my $negated = rand() < 0.3;
    $s .= '^' if $negated;
    $s .= class_item($negated) for 1 .. 1 + int(rand(3));
    $s .= '-' if rand() < 0.1;
    return $s . ']';
}

# Returns the atom with its quantifier. A repeated group holds no capturing
# group of its own: perl forgets the capture of an inner group that repeats
# zero times in a later iteration, and keeps the capture an inner group made
# on an alternative that failed, where the engine keeps the last capture and
# restores what a failed path set (both tested apart).
sub atom {
    my ($depth, $in_loop) = @_;
    my $r = rand();
    my $q;
    if ($r < 0.40) { $q = quantifier(); return (pick('a', 'a', 'b', 'b', 'c', 'A', ' ', '-', '_') . $q, can_be_empty($q)); }
    if ($r < 0.48) { $q = quantifier(); return ('.' . $q, can_be_empty($q)); }
    if ($r < 0.56) { $q = quantifier(); return (char_class() . $q, can_be_empty($q)); }
    if ($r < 0.62) { $q = quantifier(); return (pick('\\d', '\\w', '\\s', '\\D', '\\W', '\\S') . $q, can_be_empty($q)); }
    if ($r < 0.70) { return (pick('^', '$', '\\b', '\\B', '\\A', '\\z', '\\Z'), 1); }
    if ($r < 0.74 && $closed > 0) { return ('\\' . (1 + int(rand($closed))) . quantifier(), 1); }
    if ($r < 0.80 && $depth < 3) { return (look_ahead($depth, $in_loop), 1); }
    if ($r < 0.85 && $depth < 3) { return (look_behind($in_loop), 1); }
    if ($r < 0.88 && $depth < 3) { return independent($depth, $in_loop); }
    if ($r < 0.92 && $depth < 3) { return conditional($depth, $in_loop); }
    if ($depth < 3) {
        my $kind = $in_loop ? pick('(?:', '(?i:') : pick('(', '(', '(?:', '(?i:');
        my $number;
        $number = ++$opened if $kind eq '(';
        $q = quantifier();
        my ($body, $empty) = alternation($depth + 1, 1, $in_loop || $q ne '');
        # Under /g, after an empty match, perl ends a loop at its first empty
        # iteration where the engine allows one more: no loops over bodies
        # that can match empty there (tested apart).
        $q = '' if $repeated && $empty;
        $closed = $number if defined $number && $number > $closed && $number == $closed + 1;
        return ($kind . $body . ')' . $q, $empty || can_be_empty($q));
    }
    $q = quantifier();
    return (pick('a', 'b') . $q, can_be_empty($q));
}

# A look-ahead: zero width, never quantified. A negative look-around holds no
# capturing group: perl keeps what such a group captured when the assertion
# fails inside a conditional's test or inside another assertion, where the
# engine restores the records as they were (tested apart).
sub look_ahead {
    my ($depth, $in_loop) = @_;
    my $kind = pick('(?=', '(?!');
    my ($body) = alternation($depth + 1, 1, $in_loop || $kind eq '(?!');
    return $kind . $body . ')';
}

# One character of a look-behind body.
sub single_char {
    my $r = rand();
    return pick('a', 'a', 'b', 'b', 'c', 'A', ' ', '-', '_') if $r < 0.5;
    return '.' if $r < 0.6;
    return char_class() if $r < 0.8;
    return pick('\\d', '\\w', '\\s', '\\D', '\\W', '\\S');
}

# A look-behind body of exactly $width characters: characters, counted
# repeats, anchors, groups whose alternatives have the same width, and short
# look-aheads, which see past the look-behind point.
sub fixed_sequence {
    my ($width, $depth, $in_loop) = @_;
    my $s = '';
    while (1) {
        my $r = rand();
        if ($r < 0.12) {
            $s .= pick('^', '$', '\\b', '\\B', '\\A', '\\z', '\\Z');
        } elsif ($r < 0.17 && $depth < 2) {
            $s .= pick('(?=', '(?!') . fixed_sequence(1 + int(rand(2)), 2, 1) . ')';
        }
        last if $width == 0;
        $r = rand();
        if ($r < 0.6 || $depth >= 2) {
            $s .= single_char();
            $width--;
        } elsif ($r < 0.7 && $width >= 2) {
            $s .= single_char() . '{2}';
            $width -= 2;
        } else {
            my $w = 1 + int(rand($width));
            my $capture = !$in_loop && rand() < 0.5;
            my $number;
            $number = ++$opened if $capture;
            # No (?>...) here: perl 5.36 never matches an independent group
            # inside a look-behind (it fails even (?<=(?>a)) after an a).
            $s .= $capture ? '(' : pick('(?:', '(?i:');
            $s .= fixed_alternation($w, $depth + 1, $in_loop) . ')';
            $closed = $number if defined $number && $number == $closed + 1;
            $width -= $w;
        }
    }
    return $s;
}

sub fixed_alternation {
    my ($width, $depth, $in_loop) = @_;
    my $s = fixed_sequence($width, $depth, $in_loop);
    $s .= '|' . fixed_sequence($width, $depth, $in_loop) for 1 .. (rand() < 0.3 ? 1 + int(rand(2)) : 0);
    return $s;
}

sub look_behind {
    my ($in_loop) = @_;
    my $kind = pick('(?<=', '(?<!');
    return $kind . fixed_alternation(1 + int(rand(3)), 0, $in_loop || $kind eq '(?<!') . ')';
}

# (?>...), quantified like any group.
sub independent {
    my ($depth, $in_loop) = @_;
    my $q = quantifier();
    my ($body, $empty) = alternation($depth + 1, 1, $in_loop || $q ne '');
    $q = '' if $repeated && $empty;
    return ('(?>' . $body . ')' . $q, $empty || can_be_empty($q));
}

# (?(N)yes|no), (?(N)yes) and the same with a look-around as the condition.
# As with back-references, N is a group already closed: perl tests a group
# still open, or one set on a path that was given up, as set. The condition
# captures nothing: perl keeps what a test that failed captured, where the
# engine restores the records (tested apart).
sub conditional {
    my ($depth, $in_loop) = @_;
    my $q = quantifier();
    my $loop = $in_loop || $q ne '';
    my $condition;
    if ($closed > 0 && rand() < 0.5) {
        $condition = 1 + int(rand($closed));
    } elsif (rand() < 0.6) {
        my ($body) = alternation($depth + 1, 1, 1);
        $condition = pick('?=', '?!') . $body;
    } else {
        $condition = pick('?<=', '?<!') . fixed_alternation(1 + int(rand(2)), 0, 1);
    }
    my ($yes, $empty) = sequence($depth + 1, $loop);
    my $s = "(?($condition)$yes";
    if (rand() < 0.6) {
        my ($no, $e) = sequence($depth + 1, $loop);
        $s .= '|' . $no;
        $empty ||= $e;
    } else {
        $empty = 1;
    }
    $q = '' if $repeated && $empty;
    return ($s . ')' . $q, $empty || can_be_empty($q));
}

sub sequence {
    my ($depth, $in_loop) = @_;
    my ($s, $empty) = ('', 1);
    for (1 .. 1 + int(rand(4))) {
        my ($a, $e) = atom($depth, $in_loop);
        $s .= $a;
        $empty &&= $e;
    }
    return ($s, $empty);
}

sub alternation {
    my ($depth, $in_group, $in_loop) = @_;
    my ($s, $empty) = sequence($depth, $in_loop);
    my $alts = rand() < 0.3 ? 1 + int(rand(2)) : 0;
    for (1 .. $alts) {
        if ($in_group && rand() < 0.15) {
            $s .= '|';
            $empty = 1;
        } else {
            my ($a, $e) = sequence($depth, $in_loop);
            $s .= '|' . $a;
            $empty ||= $e;
        }
    }
    return ($s, $empty);
}

sub subject {
    my $len = int(rand(13));
    my @alphabet = ('a', 'a', 'b', 'b', 'c', 'A', 'B', '1', ' ', '_', '-', '~');
    return join('', map { pick(@alphabet) } 1 .. $len);
}

for (1 .. $count) {
    $closed = 0;
    $opened = 0;
    my $flags = '';
    $flags .= 'i' if rand() < 0.25;
    $flags .= 'm' if rand() < 0.25;
    $flags .= 's' if rand() < 0.25;
    $flags .= 'g' if rand() < 0.35;
    $flags = '-' if $flags eq '';
    $repeated = $flags =~ /g/;
    my ($pattern) = alternation(0, 0, 0);
    for (1 .. 2) {
        my $subject = subject();
        # Under /m perl's ^ does not hold after a newline that ends the
        # subject; the engine's does (tested apart).
        $subject =~ s/~+$// if $flags =~ /m/;
        print "$flags\t$pattern\t$subject\n";
    }
}
