#!/usr/bin/env python3
"""Writes the expected complete protocols of the hand-made project of
tests/project/report_fixture.cpp.  The text below is the reviewed
expectation; rerun this script only after reviewing a change to it:

    python3 tests/project/golden/make_golden.py

The files are CP1250 with CR LF, as the program writes them.  Values use
the decimal separator of the variant, the matrix dumps always ".".
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

HO = ("Snímek       r11        r12        r13        r21        r22        r23"
      "        r31        r32        r33       X0[m]     Y0[m]     Z0[m]")
H6 = "Snímek     X0[m]     Y0[m]     Z0[m]    alfa[rad]  beta[rad]  gama[rad]"
H7 = H6 + "      f"
H8 = ("        Číslo bodu       X[m]            Y[m]            Z[m]"
      "             m0             Mx[m]           My[m]           Mz[m]")
H10 = H8 + "         kriterium        Fisher "
assert (len(HO), len(H6), len(H7), len(H8), len(H10)) == (136, 71, 78, 126, 159)


def dump(rows):
    """Matrix dump rows: 15-character fields, column 1 without decimals."""
    out = []
    for row in rows:
        out.append("".join(("%15.0f " if j == 0 else "%15.5f ") % v for j, v in enumerate(row)))
    return out


def framed(heading):
    return ["x" * len(heading), heading, "x" * len(heading)]


CONTROL = [[1, 0, 0, 0, -10.12345, 5.5], [2, 10, 0, 0, 8.25, -4.75],
           [3, 0, 10, 0.5, -9.5, 6.125], [4, 10, 10, 1, 7, -3]]
IMAGE = [[101, 1.5, -2.25], [102, 3, 4], [101, -1.75, 2.5]]
APPROX = [[101, 10.5, 20.25, -3.125, 0.001, 0.002, 0.003, 0.004],
          [102, -7.5, 0, 12, 0.01, 0.02, 0.03, 0.04]]
POINTS = [[101, 10.5, 20.25, -3.125, 0.012, 0.001, 0.002, 0.003],
          [102, -7.5, 0, 12, 0.011, 0.004, 0.005, 0.006]]
FTEST = [[1.25, 3.4567], [4.5, 3.4567]]


def protocol(robust, camera_constant, sep):
    L = []
    v = lambda text: text.replace(",", sep)  # value lines use the locale's separator
    L += ["Kompletní protokol - program Pelvanor", "*" * 37, " ",
          "Počet snímků: 2", "Počet bodů: 2", " "]
    L += framed("xxxxx Nastavení xxxxx")
    L += [" ",
          "Maximální počet iterací:............20",
          v("Tolerance iteračního výpočtu:.......0,1"),
          "Hladina významnosti:................5%",
          "Počet pevných bodů do vyrovnání:....4",
          "Počet bodů do vyrovnání:............50%",
          " "]
    if robust:
        L += ["Robustní odhad: ano ", "Minimální váha pro robustní odhad:..50%", " "]
    if camera_constant:
        L += ["Vyrovnání konstanty komory: ano "]
    L += [" "]
    L += framed("xxxxx Parametry kamery xxxxx")
    L += [" ", v("Konstanta komory f: 50,5"), " ", "Hlavní snímkový bod",
          v("x0 = 0,012"), v("y0 = -0,034"), " ", "Parametry distorze",
          v("k1 = 1,2E-5"), "k2 = -3E-8", "k3 = 0", v("p1 = 0,0001"), v("p2 = -2,5E-6"), " "]
    L += framed("Opravené hodnoty snímkových souřadnic o distorze")
    L += [" "]
    L += ["Snimek 1"] + dump(CONTROL[0:2]) + ["Snimek 2"] + dump(CONTROL[2:4])
    L += ["Snimek 1"] + dump(IMAGE[0:2]) + ["Snimek 2"] + dump(IMAGE[2:3])

    L += [" "]
    L += framed("Výpočet přibližné orientace - minimální počet bodů")
    L += [" ", HO,
          v("  001    +1,0000000 +0,0000000 +0,0000000 +0,0000000 +1,0000000 +0,0000000"
            " +0,0000000 +0,0000000 +1,0000000  +100,500000 -20,000000 +30,000000"),
          v("  002    +0,8660254 -0,5000000 +0,0000000 +0,5000000 +0,8660254 +0,0000000"
            " +0,0000000 +0,0000000 +1,0000000  +1234,567890 -0,250000 +45,000000"),
          " "]
    L += framed("Výpočet přibližné orientace - projektivní transformace")
    L += [" ", "Počet iterací: 3", " ",
          v("Aposteriorní směrodatná odchylka jednotková na snímku  001 = 0,023"),
          v("Aposteriorní směrodatná odchylka jednotková na snímku  002 = 1,500"),
          " ", HO,
          v("  001    +0,9998477 -0,0174524 +0,0000000 +0,0174524 +0,9998477 +0,0000000"
            " +0,0000000 +0,0000000 +1,0000000  +100,250000 -19,875000 +30,125000"),
          v("  002    +0,8660254 -0,5000000 +0,0000000 +0,5000000 +0,8660254 +0,0000000"
            " +0,0000000 +0,0000000 +1,0000000  +1234,500000 -0,125000 +45,500000"),
          " "]
    L += framed("Přibližné prostorové souřadnice pro svazkové vyrovnání")
    L += [" ", H8]
    L += dump(APPROX)

    L += [" "]
    L += framed("Výpočet svazkového vyrovnání")
    L += [" ", "Počet bodů vstupující do svazkového vyrovnání: 2",
          "Počet vlícovacích bodů - stabilizace: 4", " "]
    if robust:
        L += ["Odlehlé body zachycené robustní metodou", "-" * 39, " ",
              "Počet vyřazených bodů z výpočtu svazkového vyrovnání: 1",
              "Vyřazené body", "17", " "]
    L += [" ", "Výpočet svazkového vyrovnání bez konstanty komory", "-" * 49, " ",
          v("Aposteriorní směrodatná odchylka jednotková: 0,012"),
          "Počet nadbytečných měření: 12", "Počet iterací: 4", " ", H6,
          v("  001    +1000,500000 +2000,000000 +50,000000 +0,0100000 -0,0200000 +1,5707963"),
          v("  002    -12,750000 +0,500000 +3,000000 -0,1234568 +0,0000000 +3,1415927")]
    if camera_constant:
        L += [" ", "Výpočet svazkového vyrovnání s konstantou komory", "-" * 49, " ",
              v("Aposteriorní směrodatná odchylka jednotková: 0,011"),
              "Počet nadbytečných měření: 10", "Počet iterací: 5", " ", H7,
              v("  001    +1000,400000 +2000,100000 +49,900000 +0,0110000 -0,0210000 +1,5707000 +50,512345"),
              v("  002    -12,700000 +0,450000 +3,050000 -0,1200000 +0,0010000 +3,1416000 +50,490000")]
    L += [" "]
    L += framed("Prostorové souřadnice XYZ - komplet")
    L += [" ", H10]
    L += dump([p + f for p, f in zip(POINTS, FTEST)])

    L += [" "]
    L += framed("Prostorové souřadnice XYZ")
    L += [" ", "F-test na hladině významnosti: 5 procent", "Počet vypočtených bodů: 2",
          "Počet bodů splňujíci F-test: 1", " ", H8]
    L += dump(POINTS)
    return "".join(line + "\r\n" for line in L).encode("cp1250")


def main():
    variants = {
        "complete_comma.txt": protocol(True, True, ","),
        "complete_point_settings_off.txt": protocol(False, False, "."),
    }
    for name, data in variants.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
