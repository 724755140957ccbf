"""Compares every coefficient of Savgol.dat with scipy's savgol_coeffs.

The file stores float32, so each stored value must be the float32 nearest to
scipy's double: within half a float32 unit in the last place, plus 1e-12.
Usage: check_savgol.py SAVGOL_DAT
"""
import sys

import numpy as np
from scipy.signal import savgol_coeffs


def degree(deriv, width):
    p = 3 if deriv <= 2 else 5
    return min(p, width - 1)


def main(path):
    data = np.fromfile(path, dtype="<f4")
    if data.size != 5 * 7760:
        print(f"{path}: {data.size} values, expected {5 * 7760}")
        return 1
    at = 0
    worst = 0.0
    bad = 0
    for deriv in range(5):
        for n in range(5, 36, 2):
            for r in range(n):
                want = savgol_coeffs(n, degree(deriv, n), deriv=deriv, pos=r, use="dot")
                got = data[at:at + n].astype(np.float64)
                at += n
                tol = 0.5 * np.spacing(np.abs(want).astype(np.float32)).astype(np.float64) * (1 + 1e-6) + 1e-12
                err = np.abs(got - want)
                worst = max(worst, float(np.max(err / tol)))
                if np.any(err > tol):
                    bad += 1
                    if bad <= 5:
                        print(f"derivative {deriv} width {n} row {r}: max error {np.max(err):.3g}")
    print(f"{at} coefficients checked, worst error {worst:.3f} of the allowed float32 rounding")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
