"""The example networks.

Only layers that the simulator's ONNX and DarkNet importers handle well are
used: convolutions with batch normalisation (folded at export), ReLU and
leaky ReLU, max pooling, nearest upsampling, transposed convolution,
concatenation, addition, flatten and fully connected layers. Detector heads
end in a plain 1x1 convolution: their outputs are raw, the application
applies the activations itself.
"""

import torch
import torch.nn as nn


class ConvBnAct(nn.Sequential):
    def __init__(self, cin, cout, k=3, stride=1, act="leaky"):
        layers = [nn.Conv2d(cin, cout, k, stride, k // 2, bias=False), nn.BatchNorm2d(cout)]
        layers.append(nn.LeakyReLU(0.1) if act == "leaky" else nn.ReLU())
        super().__init__(*layers)


class Classifier(nn.Module):
    """96 x 96 input, one score per shape class."""

    def __init__(self, classes):
        super().__init__()
        self.features = nn.Sequential(
            ConvBnAct(3, 16, stride=2, act="relu"), nn.MaxPool2d(2),    # 24
            ConvBnAct(16, 32, act="relu"), nn.MaxPool2d(2),    # 12
            ConvBnAct(32, 64, act="relu"), nn.MaxPool2d(2),    # 6
            ConvBnAct(64, 64, act="relu"), nn.MaxPool2d(2),    # 3
        )
        self.classify = nn.Sequential(
            nn.Flatten(), nn.Linear(64 * 3 * 3, 64), nn.ReLU(), nn.Linear(64, classes))

    def forward(self, x):
        return self.classify(self.features(x))


class Yolo2Net(nn.Module):
    """Single stride-32 output."""

    def __init__(self, head_channels):
        super().__init__()
        self.body = nn.Sequential(
            ConvBnAct(3, 16, stride=2), nn.MaxPool2d(2),      # stride 4
            ConvBnAct(16, 32), nn.MaxPool2d(2),
            ConvBnAct(32, 48), nn.MaxPool2d(2),
            ConvBnAct(48, 96), nn.MaxPool2d(2),               # stride 32
            ConvBnAct(96, 128),
            nn.Conv2d(128, head_channels, 1),
        )

    def forward(self, x):
        return self.body(x)


# The "yolo3" network is described layer by layer so that the very same
# description builds the PyTorch module and writes the DarkNet .cfg file.
# Each entry: (type, parameters). Layer indices are DarkNet's (every section
# after [net] is one layer, [yolo] and [route] included).
def yolo3_layers(head_channels):
    return [
        ("conv", dict(cin=3, cout=16, k=3, stride=2, bn=True)),    # 0  80
        ("maxpool", {}),                                    # 1  40
        ("conv", dict(cin=16, cout=32, k=3, bn=True)),      # 2
        ("maxpool", {}),                                    # 3  20
        ("conv", dict(cin=32, cout=48, k=3, bn=True)),      # 4
        ("maxpool", {}),                                    # 5  10
        ("conv", dict(cin=48, cout=96, k=3, bn=True)),      # 6  (fine branch source)
        ("maxpool", {}),                                    # 7  5
        ("conv", dict(cin=96, cout=128, k=3, bn=True)),     # 8
        ("conv", dict(cin=128, cout=64, k=1, bn=True)),     # 9
        ("conv", dict(cin=64, cout=96, k=3, bn=True)),      # 10
        ("conv", dict(cin=96, cout=head_channels, k=1, bn=False)),  # 11 coarse head
        ("yolo", dict(mask=(3, 4, 5))),                     # 12
        ("route", dict(layers=(9,))),                       # 13
        ("conv", dict(cin=64, cout=32, k=1, bn=True)),      # 14
        ("upsample", {}),                                   # 15 10
        ("route", dict(layers=(15, 6))),                    # 16 32 + 96
        ("conv", dict(cin=128, cout=48, k=3, bn=True)),     # 17
        ("conv", dict(cin=48, cout=head_channels, k=1, bn=False)),  # 18 fine head
        ("yolo", dict(mask=(0, 1, 2))),                     # 19
    ]


class Yolo3Net(nn.Module):
    """Two outputs: the 5 x 5 grid first, then the 10 x 10 grid."""

    def __init__(self, head_channels):
        super().__init__()
        self.layers = yolo3_layers(head_channels)
        self.mods = nn.ModuleList()
        for kind, p in self.layers:
            if kind == "conv":
                if p["bn"]:
                    self.mods.append(ConvBnAct(p["cin"], p["cout"], p["k"], p.get("stride", 1)))
                else:
                    self.mods.append(nn.Conv2d(p["cin"], p["cout"], p["k"], 1, p["k"] // 2))
            elif kind == "maxpool":
                self.mods.append(nn.MaxPool2d(2))
            elif kind == "upsample":
                self.mods.append(nn.Upsample(scale_factor=2, mode="nearest"))
            else:
                self.mods.append(nn.Identity())

    def forward(self, x):
        results, outputs = [], []
        for (kind, p), mod in zip(self.layers, self.mods):
            if kind == "route":
                x = torch.cat([results[i] for i in p["layers"]], 1) if len(p["layers"]) > 1 \
                    else results[p["layers"][0]]
            elif kind == "yolo":
                outputs.append(x)
            else:
                x = mod(x)
            results.append(x)
        return tuple(outputs)


class Residual(nn.Module):
    def __init__(self, c):
        super().__init__()
        self.block = nn.Sequential(ConvBnAct(c, c // 2, 1), ConvBnAct(c // 2, c, 3))

    def forward(self, x):
        return x + self.block(x)


class Yolo5Net(nn.Module):
    """Three outputs, strides 8, 16 and 32 in that order."""

    def __init__(self, head_channels):
        super().__init__()
        self.stem = nn.Sequential(ConvBnAct(3, 16, 3, 2), ConvBnAct(16, 32, 3, 2))
        self.down3 = nn.Sequential(ConvBnAct(32, 48, 3, 2), Residual(48))   # stride 8
        self.down4 = nn.Sequential(ConvBnAct(48, 64, 3, 2), Residual(64))   # stride 16
        self.down5 = nn.Sequential(ConvBnAct(64, 96, 3, 2), Residual(96))   # stride 32
        self.lat5 = ConvBnAct(96, 64, 1)
        self.out5 = nn.Sequential(ConvBnAct(64, 96, 3), nn.Conv2d(96, head_channels, 1))
        self.red5 = ConvBnAct(64, 32, 1)
        self.up = nn.Upsample(scale_factor=2, mode="nearest")
        self.merge4 = ConvBnAct(32 + 64, 64, 3)
        self.out4 = nn.Conv2d(64, head_channels, 1)
        self.red4 = ConvBnAct(64, 32, 1)
        self.merge3 = ConvBnAct(32 + 48, 48, 3)
        self.out3 = nn.Conv2d(48, head_channels, 1)

    def forward(self, x):
        p3 = self.down3(self.stem(x))
        p4 = self.down4(p3)
        p5 = self.down5(p4)
        h5 = self.lat5(p5)
        h4 = self.merge4(torch.cat([self.up(self.red5(h5)), p4], 1))
        h3 = self.merge3(torch.cat([self.up(self.red4(h4)), p3], 1))
        return self.out3(h3), self.out4(h4), self.out5(h5)


class UNet(nn.Module):
    """Per-pixel class scores at the input resolution (five poolings deep)."""

    def __init__(self, classes):
        super().__init__()
        w = [8, 16, 32, 48, 64, 96]
        self.enc1 = ConvBnAct(3, w[0], act="relu")
        self.enc2 = ConvBnAct(w[0], w[1], act="relu")
        self.enc3 = nn.Sequential(ConvBnAct(w[1], w[2], act="relu"), ConvBnAct(w[2], w[2], act="relu"))
        self.enc4 = nn.Sequential(ConvBnAct(w[2], w[3], act="relu"), ConvBnAct(w[3], w[3], act="relu"))
        self.enc5 = nn.Sequential(ConvBnAct(w[3], w[4], act="relu"), ConvBnAct(w[4], w[4], act="relu"))
        self.bottom = ConvBnAct(w[4], w[5], act="relu")
        self.pool = nn.MaxPool2d(2)
        self.up5 = nn.ConvTranspose2d(w[5], w[4], 2, 2)
        self.dec5 = ConvBnAct(2 * w[4], w[4], act="relu")
        self.up4 = nn.ConvTranspose2d(w[4], w[3], 2, 2)
        self.dec4 = ConvBnAct(2 * w[3], w[3], act="relu")
        self.up3 = nn.ConvTranspose2d(w[3], w[2], 2, 2)
        self.dec3 = ConvBnAct(2 * w[2], w[2], act="relu")
        self.up2 = nn.ConvTranspose2d(w[2], w[1], 2, 2)
        self.dec2 = ConvBnAct(2 * w[1], 16, act="relu")
        self.up1 = nn.ConvTranspose2d(16, 16, 2, 2)
        # Full resolution: a 1x1 convolution is enough to sharpen the edges.
        self.dec1 = ConvBnAct(16 + w[0], 16, 1, act="relu")
        self.head = nn.Conv2d(16, classes, 1)

    def forward(self, x):
        e1 = self.enc1(x)
        e2 = self.enc2(self.pool(e1))
        e3 = self.enc3(self.pool(e2))
        e4 = self.enc4(self.pool(e3))
        e5 = self.enc5(self.pool(e4))
        b = self.bottom(self.pool(e5))
        d5 = self.dec5(torch.cat([self.up5(b), e5], 1))
        d4 = self.dec4(torch.cat([self.up4(d5), e4], 1))
        d3 = self.dec3(torch.cat([self.up3(d4), e3], 1))
        d2 = self.dec2(torch.cat([self.up2(d3), e2], 1))
        d1 = self.dec1(torch.cat([self.up1(d2), e1], 1))
        return self.head(d1)
