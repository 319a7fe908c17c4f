// The Quelder control scripted by JScript under cscript, without a window.
// JScript cannot assign to a property that takes arguments, so the Piece and
// Picture writers are the VBScript suite's; everything else is here.
// Prints "N passed, N failed" last and exits with the number of failures.
var passed = 0, failed = 0;

function pass(what, ok, detail) {
    if (ok) {
        passed++;
    } else {
        failed++;
        WScript.Echo("FAILED: " + what + " (" + detail + ")");
    }
}

// Runs body; its value must equal expected.
function checkEqual(what, body, expected) {
    try {
        var actual = body();
        pass(what, actual === expected, "got " + actual + ", expected " + expected);
    } catch (e) {
        pass(what, false, "error " + e.number + " " + e.description);
    }
}

// Runs body; it must fail with this number and description.
function checkError(what, body, number, description) {
    try {
        body();
        pass(what, false, "no error, expected " + number);
    } catch (e) {
        pass(what, e.number === number && e.description === description,
             "got error " + e.number + " \"" + e.description + "\", expected " + number + " \"" + description + "\"");
    }
}

// Runs body; it must fail with one of numbers (the engines differ in how they
// translate an IDispatch failure code).
function checkFails(what, body, numbers) {
    try {
        body();
        pass(what, false, "no error");
    } catch (e) {
        var known = false;
        for (var i = 0; i < numbers.length; i++) known = known || e.number === numbers[i];
        pass(what, known, "got error " + e.number + " \"" + e.description + "\"");
    }
}

// A control error number n as JScript sees it: the HRESULT 0x800A0000 + n.
function vbError(n) { return (0x800A0000 | n) | 0; }

var badSquare = 0x80040001 | 0;
var badSquareRead = 0x8004041A | 0;
var invalidSquareText = "Invalid column or row";

var b = null;
try {
    b = new ActiveXObject("QuelderLib.Quelder");
} catch (e) {
    WScript.Echo("FAILED: new ActiveXObject(\"QuelderLib.Quelder\") (error " + e.number + " " + e.description + ")");
    WScript.Echo("0 passed, 1 failed");
    WScript.Quit(1);
}

// ---- a new control and the starting position -----------------------------------
checkEqual("Enabled of a new control", function () { return b.Enabled; }, true);
checkEqual("a new board is empty", function () {
    var empty = 0;
    for (var r = 1; r <= 8; r++)
        for (var c = 1; c <= 8; c++)
            if (b.Piece(c, r) === 1 && b.IsSelected(c, r) === false) empty++;
    return empty;
}, 64);

checkEqual("NewGame", function () { b.NewGame(); return 0; }, 0);
var start = [null,
    [3, 4, 5, 6, 7, 5, 4, 3], [2, 2, 2, 2, 2, 2, 2, 2], [1, 1, 1, 1, 1, 1, 1, 1], [1, 1, 1, 1, 1, 1, 1, 1],
    [1, 1, 1, 1, 1, 1, 1, 1], [1, 1, 1, 1, 1, 1, 1, 1], [8, 8, 8, 8, 8, 8, 8, 8], [9, 10, 11, 12, 13, 11, 10, 9]];
checkEqual("the starting position", function () {
    var wrong = "";
    for (var r = 1; r <= 8; r++)
        for (var c = 1; c <= 8; c++)
            if (b.Piece(c, r) !== start[r][c - 1]) wrong += " (" + c + ", " + r + ")=" + b.Piece(c, r);
    return wrong;
}, "");

// ---- literals and variables ------------------------------------------------------
var col = 4, row = 8;
checkEqual("Piece with number variables", function () { return b.Piece(col, row); }, 12);
checkEqual("Piece with fractional numbers", function () { return b.Piece(5.0, 1.0); }, 7);
checkEqual("Piece with strings", function () { return b.Piece("5", "8"); }, 13);
checkEqual("variables after the call", function () { return col + "," + row; }, "4,8");

// ---- moves, selection, Enabled, size ----------------------------------------------
checkEqual("MovePiece (a capture)", function () { b.MovePiece(4, 8, 4, 2); return b.Piece(4, 2); }, 12);
checkEqual("the source square is empty", function () { return b.Piece(4, 8); }, 1);
checkEqual("SelectSquare", function () { b.SelectSquare(3, 3); return b.IsSelected(3, 3); }, true);
checkEqual("UnSelectSquare", function () { b.UnSelectSquare(3, 3); return b.IsSelected(3, 3); }, false);
checkEqual("Enabled = false", function () { b.Enabled = false; return b.Enabled; }, false);
checkEqual("Enabled = true", function () { b.Enabled = true; return b.Enabled; }, true);
checkEqual("ChangeBoardSize", function () { b.ChangeBoardSize(400); b.ChangeBoardSize(296); return b.Piece(4, 2); }, 12);

// ---- pictures -------------------------------------------------------------------
checkEqual("Picture(3) is a bitmap", function () { return b.Picture(3).Type; }, 1);
checkEqual("Picture(14) is 37 pixels wide", function () { return Math.round(b.Picture(14).Width * 96 / 2540); }, 37);

// ---- errors --------------------------------------------------------------------
checkError("Piece(0, 1)", function () { return b.Piece(0, 1); }, badSquareRead, invalidSquareText);
checkError("IsSelected(1, 9)", function () { return b.IsSelected(1, 9); }, badSquare, invalidSquareText);
checkError("SelectSquare(9, 9)", function () { b.SelectSquare(9, 9); }, badSquare, invalidSquareText);
checkError("MovePiece from (0, 0)", function () { b.MovePiece(0, 0, 1, 1); }, badSquare, invalidSquareText);
checkError("Piece(40000, 1)", function () { return b.Piece(40000, 1); }, vbError(6), "Overflow");
checkError("ChangeBoardSize(1e10)", function () { b.ChangeBoardSize(1e10); }, vbError(6), "Overflow");
checkError("Picture(15)", function () { return b.Picture(15); }, vbError(35600), "Index out of bounds");
checkError("ChangeBoardSize(-5)", function () { b.ChangeBoardSize(-5); }, vbError(380), "Invalid property value");
checkError("ChangeBoardSize(32767)", function () { b.ChangeBoardSize(32767); }, vbError(7), "Out of memory");
checkFails("Piece(\"one\", 1)", function () { return b.Piece("one", 1); }, [0x80020005 | 0, vbError(13)]);
checkFails("SelectSquare(1)", function () { b.SelectSquare(1); }, [0x8002000E | 0, vbError(450)]);
checkEqual("failed calls changed nothing", function () { return b.Piece(4, 2) + "," + b.Piece(1, 1); }, "12,3");

checkEqual("Clear", function () { b.Clear(); return b.Piece(4, 2); }, 1);
b = null;

WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(failed);
